#include "send/Refusal.h"

#include <gtest/gtest.h>

namespace {

using Kind = TRefusal::Kind;
using Result = TSmtpResult::Kind;

// A refusal as the client reports it: the reply line, and the enhanced code
// only where the server offered ENHANCEDSTATUSCODES.
const QString Sender = "ann@x.org";

Kind refusal(Result kind, const QString &reply, const QString &announced = {})
{
    return TRefusal::of(TSmtpResult(kind, reply, announced), Sender);
}

} // namespace

TEST(Refusal, AnAnnouncedBadDestinationCodeMeansTheAddressIsGone)
{
    for (const char *code : {"5.1.1", "5.1.2", "5.1.3", "5.1.6", "5.1.10"})
        EXPECT_EQ(refusal(Result::Refused, QString("550 %1 no such mailbox").arg(code), code), Kind::NoSuchMailbox)
            << code;
    EXPECT_EQ(refusal(Result::Refused, "554 5.1.1 unknown user", "5.1.1"), Kind::NoSuchMailbox)
        << "an announced code is believed whatever the reply code";
}

TEST(Refusal, FiveOneCodesAboutOurSenderOrSayingLittleLeaveTheMemberAlone)
{
    for (const char *code : {"5.1.0", "5.1.4", "5.1.5", "5.1.7", "5.1.8", "5.1.9"})
        EXPECT_EQ(refusal(Result::Refused, QString("550 %1 address trouble").arg(code), code), Kind::Member) << code;
}

TEST(Refusal, WithoutAnnouncedCodesOnlyA550551Or553StartingWithTheCodeCounts)
{
    EXPECT_EQ(refusal(Result::Refused, "550 5.1.1 no such user"), Kind::NoSuchMailbox);
    EXPECT_EQ(refusal(Result::Refused, "551 5.1.6 user has moved"), Kind::NoSuchMailbox);
    EXPECT_EQ(refusal(Result::Refused, "553 5.1.3 bad address syntax"), Kind::NoSuchMailbox);
    EXPECT_EQ(refusal(Result::Refused, "554 5.1.1 no such user"), Kind::Member) << "554 is as often a policy refusal";
    EXPECT_EQ(refusal(Result::Refused, "550 no such user"), Kind::Member) << "a plain 550 may be a spam verdict";
    EXPECT_EQ(refusal(Result::Refused, "550 user unknown, see 5.1.1"), Kind::Member) << "the code must lead the text";
    EXPECT_EQ(refusal(Result::Refused, "550 4.1.1 mixed classes"), Kind::Member);
}

// Our own address refused at MAIL FROM would otherwise drop every member.
TEST(Refusal, ARefusalAboutOurSenderDropsNobodyWhateverItsCode)
{
    EXPECT_EQ(refusal(Result::Refused, "550 5.1.1 <ann@x.org>: user unknown", "5.1.1"), Kind::Member);
    EXPECT_EQ(refusal(Result::Refused, "550 5.1.1 <ANN@X.ORG> unknown"), Kind::Member);
    EXPECT_EQ(refusal(Result::Refused, "553 5.1.3 Sender address rejected: bad syntax", "5.1.3"), Kind::Member);
    EXPECT_EQ(TRefusal::of(TSmtpResult(Result::Refused, "550 5.1.1 <bo@x.org>: user unknown", "5.1.1"), QString()),
              Kind::NoSuchMailbox)
        << "without a sender address only the word counts";
}

TEST(Refusal, AFullMailboxIsNeverAReasonToDropAnyone)
{
    EXPECT_EQ(refusal(Result::Refused, "552 5.2.2 mailbox full", "5.2.2"), Kind::Member);
    EXPECT_EQ(refusal(Result::Deferred, "452 4.2.2 mailbox full", "4.2.2"), Kind::Member);
    EXPECT_EQ(refusal(Result::Refused, "550 5.2.2 mailbox full"), Kind::Member);
}

TEST(Refusal, OnlyAPermanentRefusalSuppresses)
{
    EXPECT_EQ(refusal(Result::Deferred, "550 5.1.1 no such user", "5.1.1"), Kind::Member);
    EXPECT_EQ(refusal(Result::OutcomeUnknown, "550 5.1.1 no such user", "5.1.1"), Kind::Member);
}

TEST(Refusal, ThrottlingAndQuotaRepliesPauseTheRun)
{
    EXPECT_EQ(refusal(Result::Deferred, "451 4.7.1 try again later", "4.7.1"), Kind::Pause);
    EXPECT_EQ(refusal(Result::Deferred, "450 4.7.500 server busy"), Kind::Pause) << "read from the text too";
    EXPECT_EQ(refusal(Result::Deferred, "452 4.5.3 too many recipients", "4.5.3"), Kind::Pause);
    EXPECT_EQ(refusal(Result::Refused, "550 5.4.5 daily sending quota exceeded", "5.4.5"), Kind::Pause);
    EXPECT_EQ(refusal(Result::Refused, "550 5.7.1 relaying denied", "5.7.1"), Kind::Member)
        << "a permanent policy refusal is no throttle";
    EXPECT_EQ(refusal(Result::Deferred, "451 4.3.0 local error", "4.3.0"), Kind::Member);
}

TEST(Refusal, A421ClosesTheSessionWhateverItsText)
{
    EXPECT_EQ(refusal(Result::Deferred, "421 4.7.0 too many messages, closing", "4.7.0"), Kind::Closing);
    EXPECT_EQ(refusal(Result::Deferred, "421 service not available"), Kind::Closing);
    EXPECT_EQ(refusal(Result::Deferred, "421-closing"), Kind::Closing);
}

TEST(Refusal, TheClientsOwnReasonsAreNoReplies)
{
    EXPECT_EQ(refusal(Result::Deferred, "Can't connect to host '127.0.0.1'"), Kind::Member);
    EXPECT_EQ(refusal(Result::Refused, "554 receive timeout"), Kind::Member);
    EXPECT_EQ(refusal(Result::Refused, "4211 not a code"), Kind::Member);
    EXPECT_EQ(refusal(Result::Ok, ""), Kind::Member);
    EXPECT_EQ(refusal(Result::Refused, ""), Kind::Member);
}
