#include "transport/SmtpReply.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

// One whole reply as the server sends it, line by line, and its code.
struct ReplyCase
{
    const char *name;
    QStringList lines;
    int code;
};

// The test name tells which case failed.
using SmtpReplyLines = ::testing::TestWithParam<ReplyCase>;

} // namespace

TEST_P(SmtpReplyLines, EndAndCodeFollowTheLastLine)
{
    const ReplyCase &c = GetParam();
    TSmtpReply reply;
    EXPECT_FALSE(reply.isComplete());
    for (qsizetype i = 0; i < c.lines.size(); ++i) {
        reply.addLine(c.lines.at(i));
        if (i + 1 < c.lines.size()) {
            ASSERT_FALSE(reply.isComplete()) << "ended early at line " << i + 1;
        }
    }
    EXPECT_TRUE(reply.isComplete());
    EXPECT_EQ(reply.code(), c.code);
    EXPECT_EQ(reply.lastLine(), c.lines.last());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, SmtpReplyLines,
    ::testing::Values(
        ReplyCase{"OneLine", {"220 test.local ready"}, 220},
        ReplyCase{"ThreeDigitsAlone", {"250"}, 250},
        ReplyCase{"CodeAndBlank", {"250 "}, 250},
        ReplyCase{"MultiLineTakesTheLastCode", {"250-fine so far", "250-still", "550 but not really"}, 550},
        ReplyCase{"HyphenAloneAfterTheCode", {"250-", "251 ok"}, 251},
        ReplyCase{"HyphenWithoutDigitsContinuesToo", {"abc-def", "xyz"}, 0},
        ReplyCase{"EmptyLine", {""}, 0},
        ReplyCase{"NoDigits", {"hello"}, 0},
        ReplyCase{"SignIsNoDigit", {"+250 x"}, 0},
        ReplyCase{"HyphenInFront", {"-250 x"}, 0},
        ReplyCase{"LeadingBlanksTabsAndLineEnds", {" \t\r\n354 go ahead"}, 354},
        // The fourth character decides, counted before blanks are skipped.
        ReplyCase{"TabPushesTheHyphenPastTheFourthPlace", {"\t421-x"}, 421},
        ReplyCase{"BlankInFrontBringsTheHyphenToTheFourthPlace", {" 25-x", "220 y"}, 220},
        ReplyCase{"ShortCode", {"25-x"}, 25},
        ReplyCase{"OnlyTheFirstRunOfDigits", {"250 ok 123"}, 250},
        ReplyCase{"LeadingZero", {"0250 x"}, 250},
        ReplyCase{"HugeRunStaysBounded", {"99999999999999999999 x"}, 1'000'000},
        ReplyCase{"ArabicIndicDigitsAreNoDigits", {QString::fromUtf8("\u0662\u0665\u0660 x")}, 0}),
    [](const ::testing::TestParamInfo<ReplyCase> &info) { return std::string(info.param.name); });
