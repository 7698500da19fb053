#include "send/MemberPages.h"

TMemberPages::TMemberPages(TDatabase *database, int pageSize) : m_page(database), m_pageSize(pageSize) {}

void TMemberPages::Open(const QString &group)
{
    m_group = group;
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

void TMemberPages::readPage()
{
    m_page.Close();
    // Keyed on the row id rather than an offset, so a member removed meanwhile
    // neither shifts nor repeats anyone.
    m_page.SetStatement({"SELECT rowid AS Row, Name, Email, Unikt FROM EMAILS",
                         "WHERE Grupp=:group AND rowid>:after AND rowid<=:last ORDER BY rowid LIMIT :size"},
                        {{"group", m_group}, {"after", m_afterRow}, {"last", m_lastRow}, {"size", m_pageSize}});
    m_page.Open();
    m_lastPage = m_page.RecordCount() < m_pageSize;
}
