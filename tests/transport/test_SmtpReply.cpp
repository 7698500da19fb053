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

namespace {

struct EnhancedCase
{
    const char *name;
    const char *line;
    const char *code;
};

using EnhancedCodes = ::testing::TestWithParam<EnhancedCase>;

} // namespace

TEST_P(EnhancedCodes, AreReadAsSentWhenWellFormedAndOfTheReplysClass)
{
    EXPECT_EQ(TSmtpReply::enhancedCode(QString::fromLatin1(GetParam().line)), QString::fromLatin1(GetParam().code));
}

INSTANTIATE_TEST_SUITE_P(
    Lines, EnhancedCodes,
    ::testing::Values(EnhancedCase{"BadMailbox", "550 5.1.1 <b@x>: no such user", "5.1.1"},
                      EnhancedCase{"FullMailbox", "452 4.2.2 mailbox full", "4.2.2"},
                      EnhancedCase{"Throttle", "421 4.7.0 too many connections", "4.7.0"},
                      EnhancedCase{"Accepted", "250 2.0.0 ok", "2.0.0"},
                      EnhancedCase{"ContinuationLine", "550-5.7.1 see below", "5.7.1"},
                      EnhancedCase{"CodeAloneAtTheEnd", "554 5.3.4", "5.3.4"},
                      EnhancedCase{"ThreeDigitNumbers", "550 5.100.999 odd but allowed", "5.100.999"},
                      EnhancedCase{"TabAfter", "550 5.1.1\tno", "5.1.1"},
                      EnhancedCase{"ClassIsNotTheReplys", "550 4.1.1 mixed up", ""},
                      EnhancedCase{"NoSuchClass", "350 3.0.0 no", ""},
                      EnhancedCase{"FourDigitNumber", "550 5.1000.1 too long", ""},
                      EnhancedCase{"MissingPart", "550 5.1 short", ""},
                      EnhancedCase{"GluedToText", "550 5.1.1x", ""},
                      EnhancedCase{"NotAfterTheCode", "550 user 5.1.1 unknown", ""},
                      EnhancedCase{"PlainText", "550 no such user", ""},
                      EnhancedCase{"NoCode", "hello 5.1.1", ""},
                      EnhancedCase{"Empty", "", ""}),
    [](const ::testing::TestParamInfo<EnhancedCase> &info) { return std::string(info.param.name); });
