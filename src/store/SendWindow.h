#pragma once

#include <QDateTime>
#include <QString>

class TDatabase;

// At most Count messages in any span of Minutes minutes; no limit while
// either is 0.
struct TSendLimit
{
    int Count = 0;
    int Minutes = 0;

    bool Active() const { return Count > 0 && Minutes > 0; }
    qint64 SpanMs() const { return qint64(Minutes) * 60'000; }
};

// The sliding window of the messages sent through one server, kept in the
// store: the mailer and the agent count each other's messages, and a program
// started again counts what it sent before. Time is Clock's.
class TSendWindow
{
public:
    TSendWindow(TDatabase &database, const QString &server, const TSendLimit &limit);

    // The name the sends through host and port are counted under.
    static QString ServerKey(const QString &host, const QString &port);

    // Takes the window's place for one message that goes out now, counting
    // it: true when there is one. Otherwise counts nothing, and FreeAt tells
    // when the next place frees up. The count and the taking are one step in
    // the store, so two programs never both take its last place.
    bool Take();
    QDateTime FreeAt() const { return m_freeAt; }

private:
    TDatabase &m_database;
    QString m_server;
    TSendLimit m_limit;
    QDateTime m_freeAt;
};
