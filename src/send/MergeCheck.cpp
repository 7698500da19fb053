#include "send/MergeCheck.h"

#include "send/MergeMessage.h"
#include "store/Query.h"

namespace {

// A member's own value stands in the member's row; any other is a field.
QString withoutValue(const QString &field)
{
    if (!field.compare(QLatin1String("Name"), Qt::CaseInsensitive))
        return QStringLiteral("COALESCE(Name, '') = ''");
    if (!field.compare(QLatin1String("Email"), Qt::CaseInsensitive))
        return QStringLiteral("COALESCE(Email, '') = ''");
    if (!field.compare(QLatin1String("Group"), Qt::CaseInsensitive))
        return QStringLiteral("0");
    return QStringLiteral(
        "NOT EXISTS (SELECT 1 FROM RecipientField WHERE Recipient = EMAILS.Unikt AND Field = :field)");
}

QString plural(int count, const char *one, const char *many)
{
    return QString::number(count) + u' ' + QLatin1String(count == 1 ? one : many);
}

}

TMergeCheck::TMergeCheck(TDatabase &database, const QString &group, const TMergeMessage &message)
    : m_stray(message.stray())
{
    const QStringList &names = message.names().names();
    for (int i = 0; i < names.size(); ++i) {
        const Gap gap = missing(database, group, names[i]);
        if (gap.noneHas || (gap.members > 0 && message.needsValue(i)))
            m_gaps.append(gap);
    }
}

TMergeCheck::Gap TMergeCheck::missing(TDatabase &database, const QString &group, const QString &field) const
{
    Gap gap{field, 0, {}, false};
    const QString where = QStringLiteral("WHERE Grupp = :group AND ") + withoutValue(field);
    QVariantMap params{{"group", group}};
    if (where.contains(QLatin1String(":field")))
        params.insert("field", field);
    TQuery q(&database);
    q.UniDirectional = true;
    q.SetStatement({"SELECT COUNT(*), (SELECT COUNT(*) FROM EMAILS WHERE Grupp = :group) FROM EMAILS", where}, params);
    q.Open();
    gap.members = q.Fields(0).AsInteger();
    gap.noneHas = gap.members > 0 && gap.members == q.Fields(1).AsInteger();
    q.Close();
    if (gap.members == 0)
        return gap;
    q.SetStatement({"SELECT COALESCE(NULLIF(Name, ''), Email) FROM EMAILS", where,
                    QStringLiteral("ORDER BY rowid LIMIT %1").arg(NamesShown)},
                   params);
    for (q.Open(); !q.Eof(); q.Next())
        gap.firstMembers.append(q.Fields(0).AsString());
    return gap;
}

QStringList TMergeCheck::lines() const
{
    QStringList lines;
    for (const Gap &gap : m_gaps) {
        const QString among = gap.firstMembers.join(QLatin1String(", "))
                              + (gap.members > gap.firstMembers.size() ? QStringLiteral(", ...") : QString());
        if (gap.noneHas)
            lines.append(QStringLiteral("No member of the group has the field \"%1\" (%2).")
                             .arg(gap.field, plural(gap.members, "member", "members")));
        else
            lines.append(QStringLiteral("%1 no value for \"%2\" and the placeholder has no default: %3.")
                             .arg(plural(gap.members, "member has", "members have"), gap.field, among));
    }
    if (m_stray > 0)
        lines.append(QStringLiteral("%1 no placeholder and will be sent as typed.")
                         .arg(plural(m_stray, "\"{{\" opens", "\"{{\" open")));
    return lines;
}
