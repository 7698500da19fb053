#include "send/RunLog.h"

#include <gtest/gtest.h>

namespace {

QStringList numbered(const QString &prefix, int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines.append(prefix + QString::number(i));
    return lines;
}

TEST(RunLog, TheSessionStartsAfreshOnlyWhenALineFindsMoreThanTheCap)
{
    TRunLog log;
    for (const QString &line : numbered("s", TRunLog::LogLimit + 1))
        log.addSessionLine(line);
    EXPECT_EQ(log.lines().size(), TRunLog::LogLimit + 1) << "101 lines are kept";
    log.add("result");
    EXPECT_EQ(log.lines().size(), TRunLog::LogLimit + 2) << "a result line never empties the log";
    log.addSessionLine("newest");
    EXPECT_EQ(log.lines(), QStringList{"newest"});
}

TEST(RunLog, TheResultsEndWithTheRunsFailuresInFullAndEmptyTheLog)
{
    TRunLog log;
    log.setLines({"earlier"});
    log.startRun();
    log.addFailure("ERROR Couldn't send email nr: 2 b@x.org", "550 no such user");
    log.addFailure("ERROR Couldn't send email nr: 5 e@x.org");
    EXPECT_EQ(log.lines(), QStringList({"earlier", "ERROR Couldn't send email nr: 2 b@x.org",
                                        "    because: 550 no such user", "ERROR Couldn't send email nr: 5 e@x.org"}));
    EXPECT_EQ(log.failureCount(), 2) << "a reason is no failure of its own";
    // The session's cap drops the failures from the log, not from the results.
    for (const QString &line : numbered("s", TRunLog::LogLimit + 2))
        log.addSessionLine(line);
    const QStringList results = log.takeResults();
    const QStringList expectedEnd{"",
                                  "Failures of this run: 2",
                                  "ERROR Couldn't send email nr: 2 b@x.org",
                                  "    because: 550 no such user",
                                  "ERROR Couldn't send email nr: 5 e@x.org"};
    // Four lines and 97 of the session fill the log; the 98th starts it afresh.
    EXPECT_EQ(results, numbered("s", TRunLog::LogLimit + 2).mid(97) + expectedEnd);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(log.failureCount(), 0);
    EXPECT_EQ(log.takeResults(), QStringList()) << "nothing is shown twice";
}

TEST(RunLog, ARunWithoutFailuresEndsItsResultsWithItsLastLine)
{
    TRunLog log;
    log.addFailure("ERROR of an earlier run");
    log.startRun();
    log.addSessionLine("< 221 bye");
    EXPECT_EQ(log.failureCount(), 0) << "each run counts its own failures";
    EXPECT_EQ(log.takeResults(), QStringList({"ERROR of an earlier run", "< 221 bye"}));
}

// The agent's log is never taken: each run's end closes it with the run's
// failures, once, and the log goes on.
TEST(RunLog, ClosingARunAddsItsFailuresOnceAndKeepsTheLog)
{
    TRunLog log;
    log.setLines({"earlier"});
    log.startRun();
    log.addFailure("ERROR Couldn't send email nr: 2 b@x.org", "550 no such user");
    log.closeRun();
    const QStringList closed{"earlier", "ERROR Couldn't send email nr: 2 b@x.org", "    because: 550 no such user",
                             "", "Failures of this run: 1", "ERROR Couldn't send email nr: 2 b@x.org",
                             "    because: 550 no such user"};
    EXPECT_EQ(log.lines(), closed);
    EXPECT_EQ(log.failureCount(), 0);
    log.closeRun();
    EXPECT_EQ(log.lines(), closed) << "a run's failures are told once";
    log.startRun();
    log.addSessionLine("< 221 bye");
    log.closeRun();
    EXPECT_EQ(log.lines(), closed + QStringList{"< 221 bye"}) << "a run without failures adds nothing";
}

// The results open with the run's summary, which the cap cannot drop as it
// is not in the log until the end.
TEST(RunLog, TheResultsOpenWithTheSummaryThenTheLogAndItsFailures)
{
    TRunLog log;
    log.startRun();
    for (int i = 0; i <= TRunLog::LogLimit + 1; ++i)
        log.addSessionLine("s");
    log.addFailure("ERROR Couldn't send email nr: 2 b@x.org");
    const QStringList results = log.takeResults({"Delivered: 1", "    skipped: email nr: 3 c@x.org (complaint)"});
    ASSERT_GE(results.size(), 6);
    EXPECT_EQ(results.mid(0, 3), QStringList({"Delivered: 1", "    skipped: email nr: 3 c@x.org (complaint)", ""}));
    EXPECT_EQ(results.mid(results.size() - 3),
              QStringList({"", "Failures of this run: 1", "ERROR Couldn't send email nr: 2 b@x.org"}));
    EXPECT_TRUE(log.lines().isEmpty());
}

} // namespace
