#include "send/MergePreview.h"

#include "send/MemberPages.h"
#include "send/MemberRendering.h"
#include "store/DM_Databaser.h"

#include <algorithm>

TMergePreview::TMergePreview(TDM_Databaser &dataModule) : m_dm(dataModule) {}

std::optional<TMergePreview::Member> TMergePreview::read(const TDraftMessage &message, int number) const
{
    const int count = m_dm.MemberCount(message.Group);
    if (count == 0)
        return std::nullopt;
    Member member;
    member.number = std::clamp(number, 1, count);
    member.count = count;
    TMemberRendering rendering(message);
    TMemberPages pages(&m_dm.Databas, 1);
    pages.Open(message.Group, rendering.fieldNames(), member.number);
    // Removed since it was counted: the group has fewer members now.
    if (pages.Eof())
        return std::nullopt;
    member.name = pages.Name();
    member.email = pages.Email();
    rendering.render(member.name, member.email, pages.Fields());
    pages.Close();
    member.subject = rendering.subject();
    member.lines = rendering.lines();
    return member;
}
