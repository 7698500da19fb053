#pragma once

#include <QString>
#include <QStringList>

// The counts a run ends with, for the top of its results and the agent's
// log: who got the message, who was refused it, who was turned away for now
// and never got it, whose address this run found gone (and put on the
// suppression list), and who was skipped because the list had them already.
// The suppressed and skipped are named too, as the log's cap may have
// dropped the lines that told them as they happened.
class TRunSummary
{
public:
    void clear() { *this = TRunSummary(); }

    void delivered() { ++m_delivered; }
    // Went out in full without an answer: not sent again, not known to have
    // arrived.
    void unanswered() { ++m_unanswered; }
    void refused() { ++m_refused; }
    void undelivered(int members) { m_undelivered += members; }
    void suppressed(int number, const QString &address);
    void skipped(int number, const QString &address, const QString &reason);
    // Something the whole run did without, such as the unsubscribe tokens.
    void note(const QString &text) { m_notes.append(text); }

    // One line of counts, one per member suppressed or skipped, then the
    // notes.
    QStringList lines() const;

private:
    int m_delivered = 0;
    int m_unanswered = 0;
    int m_refused = 0;
    int m_undelivered = 0;
    QStringList m_suppressed;
    QStringList m_skipped;
    QStringList m_notes;
};
