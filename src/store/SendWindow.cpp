#include "store/SendWindow.h"

#include "platform/Clock.h"
#include "store/Database.h"
#include "store/Query.h"

TSendWindow::TSendWindow(TDatabase &database, const QString &server, const TSendLimit &limit)
    : m_database(database), m_server(server), m_limit(limit)
{
}

QString TSendWindow::ServerKey(const QString &host, const QString &port)
{
    return host.trimmed().toLower() + u':' + port.trimmed().toLower();
}

bool TSendWindow::Take()
{
    m_freeAt = QDateTime();
    if (!m_limit.Active())
        return true;
    const qint64 now = Clock::currentDateTime().toMSecsSinceEpoch();
    const qint64 since = now - m_limit.SpanMs();
    TQuery query(&m_database);
    m_database.RunInTransaction([&] {
        // Older sends can count in no window from now on.
        query.SetStatement({"DELETE FROM SendTimes", "WHERE SentAt <= :since"}, {{"since", since}});
        query.ExecSQL();
        query.SetStatement({"SELECT COUNT(*) FROM SendTimes", "WHERE Server = :server"}, {{"server", m_server}});
        query.Open();
        const int inWindow = query.Fields(0).AsInteger();
        query.Close();
        if (inWindow < m_limit.Count) {
            query.SetStatement({"INSERT INTO SendTimes (Server, SentAt)", "VALUES (:server, :now)"},
                               {{"server", m_server}, {"now", now}});
            query.ExecSQL();
        } else {
            // A place frees up when so many sends have left the window that
            // one fewer than the limit remain.
            query.SetStatement({"SELECT SentAt FROM SendTimes WHERE Server = :server",
                                "ORDER BY SentAt LIMIT 1 OFFSET :skip"},
                               {{"server", m_server}, {"skip", inWindow - m_limit.Count}});
            query.Open();
            m_freeAt = QDateTime::fromMSecsSinceEpoch(query.Fields(0).Value().toLongLong() + m_limit.SpanMs());
            query.Close();
        }
    });
    return !m_freeAt.isValid();
}
