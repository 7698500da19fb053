#include "send/RunSummary.h"

#include <gtest/gtest.h>

TEST(RunSummary, CountsEachKindAndNamesTheSuppressedBeforeTheSkipped)
{
    TRunSummary summary;
    summary.delivered();
    summary.delivered();
    summary.refused();
    summary.undelivered(3);
    summary.skipped(4, "d@x.org", "unsubscribed");
    summary.suppressed(2, "b@x.org");
    summary.note("No unsubscribe token in this run: why");
    EXPECT_EQ(summary.lines(),
              QStringList({"Delivered: 2, refused: 1, deferred and still undelivered: 3, suppressed: 1, skipped: 1",
                           "    suppressed: email nr: 2 b@x.org", "    skipped: email nr: 4 d@x.org (unsubscribed)",
                           "No unsubscribe token in this run: why"}));
}

TEST(RunSummary, MessagesWithoutAnAnswerAreToldOnlyWhenThereAreSome)
{
    TRunSummary summary;
    EXPECT_EQ(summary.lines(),
              QStringList({"Delivered: 0, refused: 0, deferred and still undelivered: 0, suppressed: 0, skipped: 0"}));
    summary.unanswered();
    EXPECT_EQ(summary.lines().value(0), "Delivered: 0, refused: 0, deferred and still undelivered: 0, suppressed: 0, "
                                        "skipped: 0, went out without an answer: 1");
    summary.clear();
    EXPECT_EQ(summary.lines().size(), 1);
    EXPECT_FALSE(summary.lines().value(0).contains("without an answer"));
}
