#include "send/MemberPages.h"

#include <algorithm>
#include <utility>

namespace {

// The columns before the fields: Row, Name, Email.
constexpr int FirstField = 4;

}

TMemberPages::TMemberPages(TDatabase *database, int pageSize) : m_page(database), m_pageSize(pageSize) {}

void TMemberPages::Open(const QString &group, const QStringList &fields, int first)
{
    m_group = group;
    m_fields = fields;
    m_skip = std::max(first - 1, 0);
    m_afterRow = 0;
    m_page.Close();
    m_page.SetStatement({"SELECT MAX(rowid) AS LastRow FROM EMAILS WHERE Grupp=:group"}, {{"group", group}});
    m_page.Open();
    m_lastRow = m_page.FieldByName("LastRow").Value().toLongLong();
    m_page.Close();
    readPage();
}

void TMemberPages::Close()
{
    m_page.Close();
    m_lastPage = true;
}

bool TMemberPages::Eof() const
{
    return !m_page.Active() || m_page.Eof();
}

void TMemberPages::Next()
{
    if (Eof())
        return;
    m_afterRow = m_page.FieldByName("Row").Value().toLongLong();
    m_page.Next();
    if (m_page.Eof() && !m_lastPage)
        readPage();
}

QString TMemberPages::Name()
{
    return m_page.FieldByName("Name").AsString();
}

QString TMemberPages::Email()
{
    return m_page.FieldByName("Email").AsString();
}

qint64 TMemberPages::Number()
{
    return m_page.FieldByName("Unikt").Value().toLongLong();
}

QStringList TMemberPages::Fields()
{
    QStringList values;
    values.reserve(m_fields.size());
    for (int i = 0; i < m_fields.size(); ++i)
        values.append(m_page.Fields(FirstField + i).AsString());
    return values;
}

void TMemberPages::readPage()
{
    m_page.Close();
    // Keyed on the row id rather than an offset, so a member removed meanwhile
    // neither shifts nor repeats anyone. Each field is a lookup on the
    // field table's key (the column compares without regard to case), so a
    // page costs one statement however many fields the message uses.
    QString select = QStringLiteral("SELECT rowid AS Row, Name, Email, Unikt");
    QVariantMap params{{"group", m_group}, {"after", m_afterRow}, {"last", m_lastRow}, {"size", m_pageSize}};
    for (int i = 0; i < m_fields.size(); ++i) {
        select +=
            QStringLiteral(", (SELECT Value FROM RecipientField WHERE Recipient=EMAILS.Unikt AND Field=:f%1)").arg(i);
        params.insert(QStringLiteral("f%1").arg(i), m_fields[i]);
    }
    params.insert("skip", std::exchange(m_skip, 0));
    m_page.SetStatement(
        {select + QStringLiteral(" FROM EMAILS"),
         "WHERE Grupp=:group AND rowid>:after AND rowid<=:last ORDER BY rowid LIMIT :size OFFSET :skip"},
        params);
    m_page.Open();
    m_lastPage = m_page.RecordCount() < m_pageSize;
}
