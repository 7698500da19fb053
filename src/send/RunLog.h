#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The log of group sends: the SMTP session's lines, the runs' own result
// lines and their failures. The session's lines are capped: beyond LogLimit
// lines the log starts afresh, so a long run keeps only its newest lines.
// The failures of the current run are kept apart as well, so the results can
// end with them in full whatever the cap dropped.
class TRunLog
{
public:
    static constexpr int LogLimit = 100;

    const QStringList &lines() const { return m_lines; }
    // The lines of an earlier session, in place of what the log holds.
    void setLines(const QStringList &lines) { m_lines = lines; }

    // A line of the SMTP session; a log of more than LogLimit lines is
    // emptied first.
    void addSessionLine(const QString &line);
    // A line that the cap does not look at.
    void add(const QString &line);
    // A failure of the current run, and the reason for it (when there is one)
    // on a line of its own.
    void addFailure(const QString &text, const QString &reason = QString());
    int failureCount() const { return static_cast<int>(m_failures.size()); }

    // A run starts with no failures of its own.
    void startRun();
    // The end of a run: the log is closed by the run's failures in full,
    // which the cap may have dropped, and keeps growing from there.
    void closeRun();
    // What the results show at the end of a run: top (the run's summary),
    // then the log after closeRun; the log is empty after it.
    QStringList takeResults(const QStringList &top = {});

private:
    struct Failure
    {
        QString text;
        QString reason;
    };
    // The lines that tell one failure.
    static QStringList linesOf(const Failure &failure);

    QStringList m_lines;
    QList<Failure> m_failures;
};
