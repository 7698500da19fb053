#pragma once

#include "replies/MailFolder.h"
#include "replies/ReplyNotice.h"
#include "send/UnsubscribeToken.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

class TDatabase;

// A mail folder's notices and requests matched to the members of the store:
// an unsubscribe request by its token, verified under the store's secret; a
// bounce by the token in our Message-ID of the message returned, else by the
// failed address. Each address found once, with the first evidence.
class ReplyMatcher
{
public:
    struct Member
    {
        qint64 number = 0; // Unikt
        QString name;
        QString address;
        QString group;
    };
    struct Finding
    {
        QString address;
        QString reason; // "hard bounce" or "unsubscribed"
        QString matchedBy; // "token", "Message-ID" or "address"
        QString evidence;
        QString where;
        QStringList members; // "Name <address> in Group"
    };
    struct Result
    {
        QList<Finding> found;
        QStringList skipped; // "where: why"
        int messages = 0;
        int ordinary = 0;
        QHash<QString, QString> foundIn; // addressKey: where it was found first
    };

    // Reads every member of the store once.
    ReplyMatcher(TDatabase &database, const UnsubscribeToken &tokens);

    // Reads the folder at path through; a folder that cannot be opened gives
    // one skipped line.
    Result process(const QString &path) const;
    // The same a message at a time: take each, then finish once.
    void take(const MailMessage &message, Result &result) const;
    void finish(Result &result) const;

private:
    void addFinding(Result &result, const Member &member, const QString &reason, const QString &matchedBy,
                    const QString &evidence, const QString &where) const;
    const Member *verified(const QString &token) const;

    const UnsubscribeToken &m_tokens;
    QHash<qint64, Member> m_byNumber;
    QHash<QString, QList<qint64>> m_byAddress; // by addressKey
};
