#include "support/GroupSendFixture.h"
#include "support/MimeCheck.h"
#include "transport/GreetingName.h"

#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

namespace {

// What every run greets with: this host's fully qualified name, or the
// address it connects to the server from.
QByteArray greeting()
{
    return "EHLO " + GreetingName::forConnection("127.0.0.1").toLatin1();
}

TEST_F(GroupSendTest, SendsOneTransactionPerMemberAndEndsIdle)
{
    send("Ten", {"Hello", "second line"});
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_EQ(recipients().first(), "m1@x.org");
    EXPECT_EQ(recipients().last(), "m10@x.org");
    EXPECT_EQ(server.connectionCount(), 1) << "one session for the whole group";
    const QByteArray first = server.messages().first();
    EXPECT_TRUE(first.startsWith("From: Ann Sender <ann@x.org>\r\n"));
    EXPECT_TRUE(first.contains("\r\nTo: m1 <m1@x.org>\r\n")) << "the To header carries the member's name and address";
    EXPECT_TRUE(first.contains("Subject: Greetings\r\n"));
    EXPECT_TRUE(first.contains("\r\n\r\nHello\r\nsecond line\r\n"));
    EXPECT_TRUE(server.commands().contains(greeting())) << "the run greets with a name a server can check";
    EXPECT_TRUE(server.commands().contains("MAIL FROM:<ann@x.org>"));
    EXPECT_EQ(status.activity, "Operation finished");
    EXPECT_EQ(status.memberCount, std::nullopt);
    EXPECT_EQ(status.memberNumber, std::nullopt);
    EXPECT_TRUE(status.memberCounts.contains(10));
    EXPECT_TRUE(status.memberNumbers.contains(10));
    EXPECT_TRUE(status.activities.contains("Sending to: m10"));
    EXPECT_EQ(status.progressMax, 10);
    EXPECT_FALSE(status.runControls);
    EXPECT_TRUE(status.sendEnabled);
    ASSERT_EQ(status.results.size(), 1);
    EXPECT_TRUE(run->FResultLog.lines().isEmpty()) << "emptied once shown";
    EXPECT_EQ(lastMail("Ten"), 0);
    dm->ta_Group.Locate("Grupp", "Ten");
    EXPECT_EQ(dm->ta_Group.FieldByName("LastSent").AsDate(), QDate(2026, 12, 8));

    send("Empty");
    send("Ten");
    for (const QByteArray &command : server.commands()) {
        if (command.startsWith("EHLO ")) {
            EXPECT_EQ(command, greeting()) << "later runs greet as the first did, never with a bare word";
        }
    }
}

TEST_F(GroupSendTest, AnEmptyGroupFinishesWithoutATransaction)
{
    send("Empty");
    EXPECT_EQ(server.messageCount(), 0);
    EXPECT_TRUE(status.memberCounts.contains(0));
    EXPECT_EQ(status.activity, "Operation finished");
    EXPECT_EQ(status.results.size(), 1);
    EXPECT_EQ(lastMail("Empty"), 0);
}

TEST_F(GroupSendTest, ResumeYesStartsAtTheStoredMember)
{
    setLastMail("Ten", 5);
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_EQ(prompts.texts().first(),
              "Do you wish to continue where you aborted or Where the first error come up. Email Nr: 5");
    EXPECT_EQ(recipients(), QStringList({"m5@x.org", "m6@x.org", "m7@x.org", "m8@x.org", "m9@x.org", "m10@x.org"}));
    EXPECT_EQ(status.memberNumbers.first(), 5);
    EXPECT_TRUE(status.activities.contains("Starting to send 6 email"));
    EXPECT_EQ(lastMail("Ten"), 0);
}

// The first member that did not get the message is where a resumed run goes
// on: members sent after it do not move the mark past it, and a resume past
// the last member counts no member left to send.
TEST_F(GroupSendTest, ALaterSuccessKeepsTheFirstFailureAsTheResumePosition)
{
    // Refusals that leave the address alone: the next run tries member 3.
    server.refuseFirstTry("RCPT", "m3@x.org", ScriptedSmtpServer::Reply{"550 5.7.1 refused by policy"});
    server.refuseFirstTry("RCPT", "m5@x.org", ScriptedSmtpServer::Reply{"550 5.7.1 refused by policy"});
    QList<int> stored;
    status.onMemberNumber = [&](std::optional<int> number) {
        if (!number)
            return;
        stored.append(lastMail("Ten"));
        if (number == 7)
            run->bu_StopClick();
    };
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_EQ(stored, QList<int>({0, 2, 3, 3, 3, 3, 3})) << "before each member";
    EXPECT_EQ(recipients().size(), 7);
    EXPECT_EQ(lastMail("Ten"), 3) << "member 3 never got it";

    status.onMemberNumber = nullptr;
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_TRUE(prompts.texts().last().endsWith("Email Nr: 3"));
    EXPECT_EQ(recipients().mid(7).first(), "m3@x.org");
}

TEST_F(GroupSendTest, AResumePastTheLastMemberCountsNoneToSend)
{
    setLastMail("Ten", 50);
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_TRUE(status.activities.contains("Starting to send 0 email")) << status.activities.join(" | ").toStdString();
    EXPECT_EQ(server.messageCount(), 0);
    EXPECT_EQ(status.activity, "Operation finished");
    EXPECT_EQ(lastMail("Ten"), 0);
}

TEST_F(GroupSendTest, ResumeNoClearsThePositionFirst)
{
    setLastMail("Ten", 5);
    int storedWhenSending = -1;
    status.onActivity = [&](const QString &text) {
        if (text == "Sending to: m1")
            storedWhenSending = lastMail("Ten");
    };
    prompts.answer(PromptAnswer::No);
    send("Ten");
    EXPECT_EQ(storedWhenSending, 0);
    EXPECT_EQ(recipients().size(), 10);
    EXPECT_TRUE(status.activities.contains("Starting to send 10 email"));
}

TEST_F(GroupSendTest, AMissingAttachmentFailsEveryMember)
{
    int storedDuring = -1;
    status.onActivity = [&](const QString &text) {
        if (text == "Sending to: m4")
            storedDuring = lastMail("Ten");
    };
    send("Ten", {"Hello"}, {folder.file("gone.pdf")});
    EXPECT_EQ(server.messageCount(), 0);
    EXPECT_EQ(storedDuring, 1);
    EXPECT_EQ(lastMail("Ten"), 0) << "reset by the finished run";
    const QStringList log = status.results.value(0);
    EXPECT_TRUE(log.contains("ERROR Couldn't send email nr: 1 m1@x.org"));
    EXPECT_TRUE(log.contains("ERROR Couldn't send email nr: 10 m10@x.org"));
}

TEST_F(GroupSendTest, CancelDuringMemberSevenResumesAtEight)
{
    status.onMemberNumber = [&](std::optional<int> number) {
        if (number == 7)
            run->bu_StopClick();
    };
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_EQ(recipients().size(), 7) << "member 7 is completed";
    EXPECT_EQ(prompts.texts(), QStringList({"Operation aborted!", "Do you want to continue at current position next time?"}));
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Warning);
    EXPECT_EQ(lastMail("Ten"), 8);
    EXPECT_EQ(status.activity, "Operation aborted");
    EXPECT_TRUE(status.sendEnabled);
    dm->ta_Group.Locate("Grupp", "Ten");
    EXPECT_EQ(dm->ta_Group.FieldByName("LastSent").AsDate(), QDate(2026, 12, 8)) << "a cancelled run is stamped";

    status.onMemberNumber = nullptr;
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_TRUE(prompts.texts().last().endsWith("Email Nr: 8"));
    EXPECT_EQ(recipients().mid(7), QStringList({"m8@x.org", "m9@x.org", "m10@x.org"}));
}

TEST_F(GroupSendTest, CancelAtTheLastMemberLeavesNothingToResume)
{
    status.onMemberNumber = [&](std::optional<int> number) {
        if (number == 10)
            run->bu_StopClick();
    };
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_EQ(lastMail("Ten"), 11);
    status.onMemberNumber = nullptr;
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_EQ(server.messageCount(), 10) << "the resumed run sends nothing";
    EXPECT_EQ(status.activity, "Operation finished");
    EXPECT_EQ(lastMail("Ten"), 0);
}

TEST_F(GroupSendTest, MissingSettingsStopTheRunBeforeItStarts)
{
    settings.FSmtpServer.clear();
    settings.FUserName.clear();
    send("Ten");
    EXPECT_EQ(prompts.texts(), QStringList{"Must enter SMTP Server in Network settings!"});
    settings.FSmtpServer = "127.0.0.1";
    send("Ten");
    EXPECT_EQ(prompts.texts().last(), "Must enter your Name in Network settings!");
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_TRUE(status.sendEnabled);
    EXPECT_FALSE(run->Busy());
}

TEST_F(GroupSendTest, ASettingWithoutAnAddressStopsTheRun)
{
    for (const QString address : {"Enter your Email address", "ann", "ann@", "@x.org"}) {
        settings.FUserEmail = address;
        send("Ten");
        EXPECT_EQ(prompts.texts().last(), "Must enter your Email Address in Network settings!") << address.toStdString();
        EXPECT_FALSE(run->Busy());
    }
    EXPECT_EQ(prompts.texts().size(), 4);
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_TRUE(status.sendEnabled);
}

// Names as users type them into the address book; what arrives is read back
// by Python's strict header parser.
TEST_F(GroupSendTest, HeadersReadBackAsTheNamesAndAddressesGiven)
{
    const QList<std::pair<QString, QString>> members{
        {"Smith, John", "john@x.org"},
        {"Ann \"Boss\" O'Hara", "boss@x.org"},
        {QString::fromUtf8("Åsa Öberg, Jr."), "asa@x.org"},
        {QString::fromUtf8("Ελένη"), "eleni@x.org"},
        {"", "noname@x.org"},
    };
    StoreSetup::addNamedGroup(*dm, "Names", members);
    settings.FUserName = QString::fromUtf8("Ann Sender, Lönn & Co.");
    send("Names");
    send("Names");
    ASSERT_EQ(server.messageCount(), 10);

    QSet<QString> messageIds;
    for (int i = 0; i < server.messageCount(); ++i) {
        const ParsedMessage parsed = parseWithPython(server.messages()[i]);
        ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
        EXPECT_TRUE(parsed.headerDefects.isEmpty()) << parsed.headerDefects.join("; ").toStdString();
        EXPECT_EQ(parsed.fromAddresses, QList<ParsedMessage::Address>({{settings.FUserName, "ann@x.org"}}));
        const auto &[name, email] = members[i % members.size()];
        EXPECT_EQ(parsed.toAddresses, QList<ParsedMessage::Address>({{name, email}}));
        EXPECT_EQ(parsed.date, clock.currentDateTime()) << "the date with the local zone";
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^<[0-9a-f]{16}\\.%1@x\\.org>$").arg(i % members.size() + 1))
                        .match(parsed.messageId)
                        .hasMatch())
            << parsed.messageId.toStdString();
        messageIds.insert(parsed.messageId);
    }
    EXPECT_EQ(messageIds.size(), 10) << "no two messages of a run, nor of two runs, share a Message-ID";
    const QStringList log = status.results.value(0);
    EXPECT_TRUE(log.contains("> To: <noname@x.org>")) << "the session log shows the header lines as sent";
    EXPECT_EQ(log.filter(QRegularExpression("^> Message-ID: <")).size(), 5);
}

TEST_F(GroupSendTest, AServerThatCannotBeReachedEndsTheRunAtOnce)
{
    settings.FSmtpPort = QString::number(ScriptedSmtpServer::unusedPort());
    send("Ten");
    const QString text = "Timeout while connecting to: 127.0.0.1 on port: " + settings.FSmtpPort;
    EXPECT_EQ(prompts.texts(), QStringList{text});
    EXPECT_TRUE(status.results.isEmpty()) << "no results window";
    EXPECT_TRUE(run->FResultLog.lines().contains(text));
    EXPECT_TRUE(status.sendEnabled);
    EXPECT_FALSE(status.runControls);
    dm->ta_Group.Locate("Grupp", "Ten");
    EXPECT_TRUE(dm->ta_Group.FieldByName("LastSent").IsNull()) << "nothing was sent, nothing stamped";
}

TEST_F(GroupSendTest, ARefusedTransactionIsReportedAsFailed)
{
    StoreSetup::addGroup(*dm, "Three", {"a@x.org", "b@x.org", "c@x.org"});
    server.script("RCPT", {{"250 ok"}, {"550 no such user"}, {"250 ok"}});
    send("Three");
    EXPECT_EQ(server.messageCount(), 2);
    const QStringList log = status.results.value(0);
    EXPECT_TRUE(log.contains("Connected with SMTP server"));
    EXPECT_TRUE(log.contains("< 550 no such user"));
    EXPECT_TRUE(log.contains("ERROR Couldn't send email nr: 2 b@x.org"));
    EXPECT_EQ(lastMail("Three"), 0);
}

TEST_F(GroupSendTest, TheLogKeepsOnlyTheNewestHundredLines)
{
    send("Ten");
    const QStringList log = status.results.value(0);
    EXPECT_LE(log.size(), TRunLog::LogLimit + 1);
    EXPECT_GT(log.size(), 1);
    EXPECT_EQ(log.last(), "< 221 bye");
    EXPECT_FALSE(log.contains("Connected with SMTP server")) << "the log started afresh on the way";
}

TEST_F(GroupSendTest, LongBodyLinesAreCut)
{
    send("Empty");
    StoreSetup::addGroup(*dm, "One", {"one@x.org"});
    send("One", {QString(1023, u'a'), QString(1022, u'b'), QString(1030, QChar(0xE5))});
    const QByteArray message = server.messages().value(0);
    // Longer than a line of a message may be, they go quoted-printable.
    for (const QByteArray &line : message.split('\n'))
        EXPECT_LE(line.size(), 998 + 1);
    const ParsedMessage parsed = parseWithPython(message);
    ASSERT_EQ(parsed.parts.size(), 1);
    // The client takes a line as UTF-8 in its buffer: a line of letters
    // outside ASCII is cut where its UTF-8 form fills the buffer, never
    // inside a letter.
    EXPECT_EQ(parsed.parts.at(0).text.split("\r\n"),
              (QStringList{QString(1022, u'a'), QString(1022, u'b'), QString(511, QChar(0xE5)), ""}));
}

TEST_F(GroupSendTest, OverTheLanNothingIsHungUp)
{
    settings.FDialDisconnect = true;
    send("Ten");
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_TRUE(phoneBook->calls().filter("hangUp").isEmpty());
    EXPECT_TRUE(phoneBook->calls().filter("dial").isEmpty());
}

TEST_F(GroupSendTest, DialUpWithTheEntryConnectedSendsAtOnce)
{
    settings.FDialLan = false;
    settings.FDialDevice = "Office";
    settings.FDialDisconnect = true;
    phoneBook->addEntry("Office");
    phoneBook->addConnection("Office", TRasConnStatus());
    send("Ten");
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_TRUE(phoneBook->calls().filter("dial").isEmpty());
    EXPECT_FALSE(phoneBook->calls().filter("hangUp").isEmpty()) << "disconnect when finished";
    EXPECT_FALSE(run->Connection().FConnected);
}

TEST_F(GroupSendTest, DialUpDialsThenSendsWhenTheConnectionIsUp)
{
    settings.FDialLan = false;
    settings.FDialDevice = "Office";
    phoneBook->addEntry("Office");
    send("Ten");
    EXPECT_TRUE(status.activities.contains("Dialing..."));
    EXPECT_TRUE(waitFor([&] { return status.results.size() == 1; }));
    EXPECT_EQ(server.messageCount(), 10);
}

TEST_F(GroupSendTest, DialUpWithAnUnknownEntryWaitsUntilCancelled)
{
    settings.FDialLan = false;
    settings.FDialDevice = "None";
    send("Ten");
    EXPECT_EQ(status.activity, "Error: GetEntryDialParams failed");
    EXPECT_TRUE(run->Busy());
    EXPECT_FALSE(status.sendEnabled);
    EXPECT_TRUE(status.runControls) << "Cancel can give the pending run up";
    run->bu_StopClick();
    EXPECT_FALSE(run->Busy());
    EXPECT_FALSE(run->Connection().ti_Connect.isActive());
    EXPECT_TRUE(status.sendEnabled);
    EXPECT_FALSE(status.runControls);
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(GroupSendTest, TheRunKeepsItsOwnCopyOfTheMessage)
{
    QStringList lines{"original"};
    QStringList attachments;
    status.onMemberNumber = [&](std::optional<int> number) {
        if (number == 2)
            lines[0] = "changed";
    };
    run->StartConnection({"Ten", "Subject", attachments, lines});
    for (const QByteArray &message : server.messages())
        EXPECT_TRUE(message.contains("\r\n\r\noriginal\r\n"));
}

}
