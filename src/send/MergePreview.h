#pragma once

#include "send/DraftMessage.h"

#include <QString>
#include <QStringList>
#include <optional>

class TDM_Databaser;

// A message as one member of its group will read it, for the message
// window's preview: the member's subject and lines, rendered as the run
// renders them.
class TMergePreview
{
public:
    struct Member
    {
        int number = 0; // 1-based, in the group's order
        int count = 0;  // members in the group
        QString name;
        QString email;
        QString subject;
        QStringList lines;
    };

    explicit TMergePreview(TDM_Databaser &dataModule);

    // Member number of the message's group, or the nearest one there is;
    // nothing when the group has no member.
    std::optional<Member> read(const TDraftMessage &message, int number) const;

private:
    TDM_Databaser &m_dm;
};
