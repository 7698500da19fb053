#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <ostream>

// A received message as Python's standard email package reads it: an
// independent parser, so the tests do not check the message builder against
// itself.
struct ParsedMessage
{
    struct Part
    {
        QString contentType;
        QString filename;
        QByteArray payload; // after the transfer encoding is undone
        QString text;       // text parts, decoded with their charset
    };
    struct Address
    {
        QString name;
        QString address;
        bool operator==(const Address &) const = default;
    };
    bool ok = false;
    QString error;
    QString subject; // RFC 2047 words decoded
    QString from;
    bool multipart = false;
    QList<Part> parts;

    // From, To, Date and Message-ID as the strict reading (email.policy.default)
    // sees them, and every defect it records on them or on the message.
    QList<Address> fromAddresses;
    QList<Address> toAddresses;
    QDateTime date; // invalid when the Date line has no time zone or does not read
    QString messageId;
    // The list headers, unfolded; empty where the message has none.
    QString listId;
    QString listUnsubscribe;
    QString listUnsubscribePost;
    QStringList headerDefects;
};

// For test failure messages: "name" <address>, ...
std::ostream &operator<<(std::ostream &out, const ParsedMessage::Address &address);

ParsedMessage parseWithPython(const QByteArray &message);
// Many messages in one run of the parser, in their order.
QList<ParsedMessage> parseAllWithPython(const QList<QByteArray> &messages);
