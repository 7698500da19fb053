// The conversation with a server that offers PIPELINING: each message's
// envelope in one write, the end of one message with the next one's envelope
// in one write, and the replies matched to their commands in order.
#include "support/MockClock.h"
#include "transport/ConversationTest.h"

#include <stdexcept>

using namespace conversation;

namespace {

const Step PipeliningHelo{"EHLO corvane.test\r\n", {"250-mail.test\r\n250 PIPELINING\r\n"}};
const QByteArray EnvelopeB = "MAIL FROM:<a@x>\r\nRCPT TO:<b@x>\r\nDATA\r\n";
const QByteArray EnvelopeC = "MAIL FROM:<a@x>\r\nRCPT TO:<c@x>\r\nDATA\r\n";
const QByteArray AllTaken = "250 ok\r\n250 ok\r\n354 go ahead\r\n";
const Step Rset{"RSET\r\n", {"250 reset\r\n"}};

struct PipeliningTest : ConversationTest
{
    MockClock clock{Now};
    // The recipients that follow the one being sent to, each set up as the
    // next message when the client asks.
    QStringList upNext;
    QStringList events;

    void talkPipelined(QList<Step> steps)
    {
        talk(std::move(steps));
        body = {"x"};
        client->OnNextMessage = [this](TCustomSmtpClient *c) {
            events.append("next");
            if (upNext.isEmpty())
                return false;
            c->RcptName = {upNext.takeFirst()};
            return true;
        };
        client->OnEndOfData = [this](TCustomSmtpClient *) {
            // What a handler stores here holds while the "." has not left.
            events.append(connection->written().endsWith("x\r\n") ? "end before dot" : "end after dot");
        };
    }
};

} // namespace

TEST_F(PipeliningTest, EachEnvelopeIsOneWriteAndTheNextEnvelopeLeavesWithTheDot)
{
    talkPipelined({Greeting, PipeliningHelo,
                   {EnvelopeB, {AllTaken}},
                   {message("x\r\n") + EnvelopeC, {"250 queued as 1\r\n", AllTaken}},
                   {message("x\r\n"), {"250 queued as 2\r\n"}},
                   {"QUIT\r\n", {"221 bye\r\n"}}});
    upNext = {"c@x"};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_EQ(client->LastResponse(), "250 queued as 1");
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_EQ(client->LastResponse(), "250 queued as 2");
    EXPECT_TRUE(client->Quit());
    EXPECT_EQ(connection->stepsLeft(), 0);
    EXPECT_EQ(connection->flights(), (QList<QByteArray>{"EHLO corvane.test\r\n", EnvelopeB,
                                                        message("x\r\n") + EnvelopeC, message("x\r\n"),
                                                        "QUIT\r\n"}));
    EXPECT_EQ(events, (QStringList{"next", "end before dot", "next", "end before dot"}));
    // The log keeps every line in the order it went or came.
    const qsizetype dot = shown.indexOf("> .");
    ASSERT_GE(dot, 0);
    EXPECT_EQ(shown.mid(dot, 8), (QStringList{"> .", "> MAIL FROM:<a@x>", "> RCPT TO:<c@x>", "> DATA",
                                              "< 250 queued as 1", "< 250 ok", "< 250 ok", "< 354 go ahead"}));
}

TEST_F(PipeliningTest, WithPipeliningOffTheConversationIsOneCommandOneReply)
{
    talkPipelined(QList<Step>{Greeting, PipeliningHelo,
                              {"MAIL FROM:<a@x>\r\n", {"250 ok\r\n"}},
                              {"RCPT TO:<b@x>\r\n", {"250 ok\r\n"}},
                              {"DATA\r\n", {"354 go ahead\r\n"}},
                              {message("x\r\n"), {"250 queued\r\n"}}});
    client->Pipelining = false;
    upNext = {"c@x"};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_EQ(connection->stepsLeft(), 0);
    EXPECT_EQ(events, (QStringList{"end before dot"})) << "nothing is set up ahead";
}

TEST_F(PipeliningTest, ARefusedRecipientFailsThatMessageAloneAndRsetFollows)
{
    talkPipelined({Greeting, PipeliningHelo,
                   {EnvelopeB, {"250 ok\r\n550 5.1.1 no such user\r\n554 no valid recipients\r\n"}},
                   Rset,
                   {EnvelopeC, {AllTaken}},
                   {message("x\r\n"), {"250 queued\r\n"}}});
    EXPECT_FALSE(client->Mail());
    EXPECT_EQ(client->Result().kind(), TSmtpResult::Kind::Refused);
    EXPECT_EQ(client->Result().reason(), "550 5.1.1 no such user");
    EXPECT_EQ(client->Stage(), 2);
    client->RcptName = {"c@x"};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_EQ(connection->stepsLeft(), 0);
    EXPECT_EQ(connection->connectCount(), 1);
}

TEST_F(PipeliningTest, DataTakenAfterEveryRecipientWasRefusedIsEndedAtOnceWithoutTheMessage)
{
    talkPipelined({Greeting, PipeliningHelo,
                   {EnvelopeB, {"250 ok\r\n550 5.1.1 no such user\r\n354 go ahead\r\n"}},
                   {".\r\n", {"554 5.5.1 no valid recipients\r\n"}},
                   Rset});
    EXPECT_FALSE(client->Mail());
    EXPECT_EQ(client->Result().reason(), "550 5.1.1 no such user");
    EXPECT_TRUE(events.isEmpty()) << "no message body went, so nothing was claimed";
    EXPECT_EQ(connection->stepsLeft(), 0);
    EXPECT_EQ(client->Stage(), 2);
}

TEST_F(PipeliningTest, DataTakenWhenOnlySomeRecipientsWereTakenDropsTheConnectionRatherThanDeliverNothing)
{
    talkPipelined({Greeting, PipeliningHelo,
                   {"MAIL FROM:<a@x>\r\nRCPT TO:<b@x>\r\nRCPT TO:<c@x>\r\nDATA\r\n",
                    {"250 ok\r\n250 ok\r\n550 5.1.1 no such user\r\n354 go ahead\r\n"}}});
    client->RcptName = {"b@x", "c@x"};
    EXPECT_FALSE(client->Mail());
    EXPECT_EQ(client->Result().reason(), "550 5.1.1 no such user");
    EXPECT_EQ(client->Stage(), 0);
    EXPECT_EQ(client->Socket()->State(), wsClosed);
    EXPECT_TRUE(connection->writtenSinceLastStep().isEmpty()) << "no \".\" went";
}

TEST_F(PipeliningTest, ARefusedSenderOrDataFailsTheMessageWithTheFirstRefusal)
{
    talkPipelined({Greeting, PipeliningHelo,
                   {EnvelopeB, {"550 5.7.1 sender refused\r\n503 5.5.1 need MAIL\r\n503 5.5.1 need RCPT\r\n"}},
                   Rset,
                   {EnvelopeB, {"250 ok\r\n250 ok\r\n", "451 4.3.0 try later\r\n"}},
                   Rset});
    EXPECT_FALSE(client->Mail());
    EXPECT_EQ(client->Result().kind(), TSmtpResult::Kind::Refused);
    EXPECT_EQ(client->Result().reason(), "550 5.7.1 sender refused");
    EXPECT_FALSE(client->Mail());
    EXPECT_EQ(client->Result().kind(), TSmtpResult::Kind::Deferred);
    EXPECT_EQ(client->Result().reason(), "451 4.3.0 try later");
    EXPECT_EQ(connection->stepsLeft(), 0);
}

TEST_F(PipeliningTest, RepliesToAFlightSplitOverReadsAreMatchedInOrder)
{
    talkPipelined({Greeting, PipeliningHelo,
                   {EnvelopeB, {"25", "0 ok\r\n2", "50 o", "k\r\n354 ", "go ahead\r\n"}},
                   {message("x\r\n") + EnvelopeC, {"250 queued as 1\r\n250", " ok\r\n", "250 ok\r\n354 go\r\n"}},
                   {message("x\r\n"), {"250 queued as 2\r\n"}}});
    upNext = {"c@x"};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_EQ(client->LastResponse(), "250 queued as 1");
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_EQ(client->LastResponse(), "250 queued as 2");
    EXPECT_EQ(connection->stepsLeft(), 0);
}

TEST_F(PipeliningTest, A421InTheMiddleOfAFlightDefersTheNextMessageAndTheOneAfterConnectsAgain)
{
    talkPipelined({Greeting, PipeliningHelo,
                   {EnvelopeB, {AllTaken}},
                   {message("x\r\n") + EnvelopeC, {"250 queued as 1\r\n421 4.7.0 too many messages, closing\r\n"},
                    true},
                   Greeting, PipeliningHelo,
                   {EnvelopeC, {AllTaken}},
                   {message("x\r\n"), {"250 queued as 2\r\n"}}});
    upNext = {"c@x"};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_FALSE(client->Mail());
    EXPECT_EQ(client->Result().kind(), TSmtpResult::Kind::Deferred);
    EXPECT_EQ(client->Result().reason(), "421 4.7.0 too many messages, closing");
    EXPECT_EQ(client->Stage(), 0);
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_EQ(connection->connectCount(), 2);
    EXPECT_EQ(connection->stepsLeft(), 0);
}

TEST_F(PipeliningTest, AServerThatClosesAfterTheEndOfDataLeavesTheEnvelopeSentAheadToANewConnection)
{
    talkPipelined({Greeting, PipeliningHelo,
                   {EnvelopeB, {AllTaken}},
                   {message("x\r\n") + EnvelopeC, {"250 queued as 1\r\n"}, true},
                   Greeting, PipeliningHelo,
                   {EnvelopeC, {AllTaken}},
                   {message("x\r\n"), {"250 queued as 2\r\n"}}});
    upNext = {"c@x"};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    // The close is seen when the replies to the envelope are read; the
    // server said nothing of the message, which goes on a new connection.
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_TRUE(client->Result().ok());
    EXPECT_EQ(connection->connectCount(), 2);
    EXPECT_EQ(connection->stepsLeft(), 0);
}

TEST_F(PipeliningTest, AnEnvelopeSentAheadForAMailThatDoesNotComeIsGivenUpWithoutAMessage)
{
    // Quit after it: the replies are read, and a DATA the server took is
    // given up by closing rather than by a "." that would deliver nothing.
    talkPipelined({Greeting, PipeliningHelo,
                   {EnvelopeB, {AllTaken}},
                   {message("x\r\n") + EnvelopeC, {"250 queued as 1\r\n", AllTaken}}});
    upNext = {"c@x"};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    client->Quit();
    EXPECT_EQ(client->Socket()->State(), wsClosed);
    EXPECT_TRUE(connection->writtenSinceLastStep().isEmpty()) << "neither \".\" nor QUIT inside the data";

    // A Mail for someone else: the same, then the message on a new connection.
    talkPipelined({Greeting, PipeliningHelo,
                   {EnvelopeB, {AllTaken}},
                   {message("x\r\n") + EnvelopeC, {"250 queued as 1\r\n", "250 ok\r\n550 5.1.1 gone\r\n554 no\r\n"}},
                   Rset,
                   {"MAIL FROM:<a@x>\r\nRCPT TO:<d@x>\r\nDATA\r\n", {AllTaken}},
                   {message("x\r\n"), {"250 queued as 2\r\n"}}});
    upNext = {"c@x"};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    client->RcptName = {"d@x"};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_TRUE(client->Result().ok()) << "what the given-up envelope met is not this message's";
    EXPECT_EQ(connection->stepsLeft(), 0);
}

TEST_F(PipeliningTest, ANextMessageThatCannotGoIsNotSentAheadAndItsOwnMailSaysWhy)
{
    talkPipelined({Greeting, PipeliningHelo,
                   {EnvelopeB, {AllTaken}},
                   {message("x\r\n"), {"250 queued as 1\r\n"}}});
    upNext = {"bad>@x"};
    ASSERT_TRUE(client->Mail()) << client->ErrorMessage().toStdString();
    EXPECT_TRUE(client->Result().ok());
    EXPECT_FALSE(client->Mail());
    EXPECT_EQ(client->Result().reason(), "Invalid address 'bad>@x'");
    EXPECT_EQ(connection->stepsLeft(), 0);
}

TEST_F(PipeliningTest, AHandlerThatFailsWhileTheNextMessageIsSetUpLeavesThisOneUnended)
{
    talkPipelined({Greeting, PipeliningHelo, {EnvelopeB, {AllTaken}}});
    client->OnNextMessage = [](TCustomSmtpClient *) -> bool { throw std::runtime_error("the store is gone"); };
    EXPECT_THROW(client->Mail(), std::runtime_error);
    EXPECT_EQ(client->Stage(), 0);
    EXPECT_FALSE(connection->written().endsWith(".\r\n")) << "a message the run could not book was ended";
}
