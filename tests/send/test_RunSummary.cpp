#include "send/RunSummary.h"

#include <gtest/gtest.h>

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
