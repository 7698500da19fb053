#include "support/GroupSendFixture.h"

#include "support/MimeCheck.h"
#include "support/RealSmtpServer.h"

#include <QFile>

#include <QRegularExpression>
#include <QTimer>

// A run against servers that refuse, stall or never stop talking, and over a
// store it cannot write: every deliverable member still gets the message, no
// one gets it twice, and every failure reaches the results.

namespace {

class GroupSendHostileTest : public GroupSendTest
{
protected:
    // The lines that end the results: every failure of the run.
    QStringList failureSection(int run = 0)
    {
        const QStringList log = status.results.value(run);
        const qsizetype heading = log.lastIndexOf(QRegularExpression("^Failures of this run: \\d+$"));
        return heading < 0 ? QStringList() : log.mid(heading);
    }
    // Removes the file as the client sends the DATA command of the n-th
    // transaction.
    void removeWithTheDataCommandOf(int n, const QString &path)
    {
        const TSmtpDisplay shown = components->SmtpClient.OnDisplay;
        components->SmtpClient.OnDisplay = [=, count = 0](TCustomSmtpClient *client, const QString &text) mutable {
            if (text == "> DATA" && ++count == n)
                QFile::remove(path);
            shown(client, text);
        };
    }
    void makeStoreReadOnly()
    {
        TQuery pragma(&dm->Databas);
        pragma.AddSQL("PRAGMA query_only = 1");
        pragma.ExecSQL();
    }
};

TEST_F(GroupSendHostileTest, ARealServerRefusingEveryOtherRecipientStillGetsEveryDeliverableMember)
{
    RealSmtpServer real;
    ASSERT_TRUE(real.start()) << real.error().toStdString();
    settings.FSmtpPort = QString::number(real.port());
    QStringList members;
    for (int i = 1; i <= 10; ++i)
        members.append(QStringLiteral("%1%2@x.org").arg(i % 2 ? "refuse" : "ok").arg(i));
    StoreSetup::addGroup(*dm, "Mixed", members);
    send("Mixed");
    ASSERT_TRUE(waitFor([&] { return real.messages().size() == 5; }, 10000));
    QStringList delivered;
    for (const RealSmtpServer::Received &received : real.messages())
        delivered += received.rcptTos;
    EXPECT_EQ(delivered, QStringList({"ok2@x.org", "ok4@x.org", "ok6@x.org", "ok8@x.org", "ok10@x.org"}));
    const QStringList failures = failureSection();
    ASSERT_FALSE(failures.isEmpty());
    EXPECT_EQ(failures.first(), "Failures of this run: 5");
    for (int i = 1; i <= 10; i += 2) {
        const int at = failures.indexOf(QStringLiteral("ERROR Couldn't send email nr: %1 refuse%1@x.org").arg(i));
        ASSERT_GT(at, 0) << i;
        EXPECT_TRUE(failures.value(at + 1).startsWith("    because: 550")) << failures.value(at + 1).toStdString();
    }
    EXPECT_EQ(lastMail("Mixed"), 0);
}

TEST_F(GroupSendHostileTest, TheResultsEndWithEveryFailureWhateverTheLogDropped)
{
    QStringList members;
    for (int i = 1; i <= 30; ++i)
        members.append(QStringLiteral("r%1@x.org").arg(i));
    StoreSetup::addGroup(*dm, "Thirty", members);
    server.script("RCPT", "550 no such user");
    send("Thirty");
    const QStringList log = status.results.value(0);
    EXPECT_FALSE(log.contains("Connected with SMTP server")) << "the session log started afresh on the way";
    const QStringList failures = failureSection();
    EXPECT_EQ(failures.value(0), "Failures of this run: 30");
    for (int i = 1; i <= 30; ++i)
        EXPECT_TRUE(failures.contains(QStringLiteral("ERROR Couldn't send email nr: %1 r%1@x.org").arg(i))) << i;
    EXPECT_EQ(failures.last(), "    because: 550 no such user");
}

TEST_F(GroupSendHostileTest, ALateAnswerToTheEndOfAMessageLeavesItsOutcomeUnknownAndTheRunGoesOn)
{
    // The answer comes after the time-out, and the server is free again
    // well before the new connection's greeting times out.
    components->SmtpClient.TimeOut = 10; // 500 ms
    server.script(".", {{"250 late", 700}, {"250 queued"}});
    StoreSetup::addGroup(*dm, "Three", {"a@x.org", "b@x.org", "c@x.org"});
    send("Three");
    EXPECT_EQ(server.messageCount(), 3) << "the later members go over a new connection";
    EXPECT_EQ(server.connectionCount(), 2);
    const QStringList failures = failureSection();
    ASSERT_EQ(failures.size(), 3);
    EXPECT_EQ(failures[0], "Failures of this run: 1");
    EXPECT_TRUE(failures[1].startsWith("UNKNOWN Email nr: 1 a@x.org went out in full")) << failures[1].toStdString();
    EXPECT_EQ(failures[2], "    because: 554 receive timeout");
    EXPECT_FALSE(status.results.value(0).join('\n').contains("ERROR Couldn't send email nr: 1"));
    EXPECT_EQ(lastMail("Three"), 0);
}

TEST_F(GroupSendHostileTest, ThePositionIsStoredAsTheRunGoesSoNobodyGetsItTwice)
{
    QList<int> stored;
    status.onActivity = [&](const QString &text) {
        if (text.startsWith("Sending to: "))
            stored.append(lastMail("Ten"));
    };
    send("Ten");
    // Before each member: the one after the last whose message went out.
    EXPECT_EQ(stored, QList<int>({0, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(lastMail("Ten"), 0) << "a finished run leaves nothing to resume";
}

TEST_F(GroupSendHostileTest, AStoreLockedByTheOtherProgramStopsTheRunWithAMessage)
{
    std::unique_ptr<StoreSetup::OtherProgramLock> lock;
    status.onActivity = [&](const QString &text) {
        if (text == "Sending to: m3")
            lock = std::make_unique<StoreSetup::OtherProgramLock>(folder);
    };
    send("Ten");
    EXPECT_EQ(server.messageCount(), 2) << "the message whose position cannot be kept is not ended";
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.texts()[0].startsWith("Sending to the group \"Ten\" stopped: The store "));
    EXPECT_TRUE(prompts.texts()[0].contains("is locked by another program")) << prompts.texts()[0].toStdString();
    EXPECT_FALSE(run->Busy());
    EXPECT_TRUE(status.sendEnabled);
    EXPECT_FALSE(status.runControls);
    EXPECT_EQ(status.activity, "Operation aborted");
    EXPECT_TRUE(failureSection().value(1).startsWith("ERROR Sending to the group \"Ten\" stopped"));
    lock.reset();
    EXPECT_EQ(lastMail("Ten"), 3) << "the next run offers to go on with member 3";
}

TEST_F(GroupSendHostileTest, AStoreLockedBrieflyIsWaitedFor)
{
    std::unique_ptr<StoreSetup::OtherProgramLock> lock;
    status.onActivity = [&](const QString &text) {
        if (text == "Sending to: m3")
            lock = std::make_unique<StoreSetup::OtherProgramLock>(folder, 300);
    };
    send("Ten");
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_TRUE(prompts.texts().isEmpty());
    EXPECT_EQ(status.activity, "Operation finished");
}

TEST_F(GroupSendHostileTest, AReadOnlyStoreStopsTheRunBeforeAnythingIsSent)
{
    makeStoreReadOnly();
    send("Ten");
    EXPECT_EQ(server.messageCount(), 0);
    ASSERT_EQ(prompts.texts().size(), 1);
    EXPECT_TRUE(prompts.texts()[0].startsWith("Sending to the group \"Ten\" stopped:"));
    EXPECT_FALSE(run->Busy());
    EXPECT_EQ(status.results.size(), 1) << "the session had started: its log is shown";
}

TEST_F(GroupSendHostileTest, AStoreThatCannotBeReadStartsNothing)
{
    TQuery drop(&dm->Databas);
    drop.AddSQL("DROP TABLE EMAILS");
    drop.ExecSQL();
    send("Ten");
    EXPECT_EQ(server.connectionCount(), 0);
    ASSERT_EQ(prompts.texts().size(), 1);
    EXPECT_TRUE(prompts.texts()[0].startsWith("Sending to the group \"Ten\" stopped:"));
    EXPECT_TRUE(status.results.isEmpty());
    EXPECT_TRUE(status.sendEnabled);
    EXPECT_FALSE(run->Busy());
}

TEST_F(GroupSendHostileTest, ThePlaceholderServerIsNoServer)
{
    settings.FSmtpServer = "Enter SMTP Server";
    send("Ten");
    EXPECT_EQ(prompts.texts(), QStringList{"Must enter SMTP Server in Network settings!"});
    EXPECT_FALSE(run->Busy());
}

TEST_F(GroupSendHostileTest, AMissingAttachmentIsNamedWithTheReason)
{
    send("Ten", {"Hello"}, {folder.file("gone.pdf")});
    const QStringList log = status.results.value(0);
    const qsizetype at = log.indexOf("ERROR Couldn't send email nr: 1 m1@x.org");
    ASSERT_GE(at, 0);
    EXPECT_EQ(log.value(at + 1), "    because: File not found '" + folder.file("gone.pdf") + "'");
}

TEST_F(GroupSendHostileTest, ADeletedAttachmentFailsTheMembersWithItsReasonAndNobodyGetsTheMailWithoutIt)
{
    RealSmtpServer real;
    ASSERT_TRUE(real.start()) << real.error().toStdString();
    settings.FSmtpPort = QString::number(real.port());
    const QString path = folder.file("report.pdf");
    QByteArray content;
    for (int i = 0; i < 2000; ++i)
        content += QByteArray::number(i) + ' ';
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    // Gone while member 3's transaction runs: after the run has checked
    // that it exists, before it is read.
    removeWithTheDataCommandOf(3, path);
    send("Ten", {"Hello"}, {path});
    ASSERT_TRUE(waitFor([&] { return !run->Busy(); }, 20000));

    const QList<RealSmtpServer::Received> received = real.messages();
    ASSERT_EQ(received.size(), 2);
    for (const RealSmtpServer::Received &message : received) {
        const ParsedMessage parsed = parseWithPython(message.data);
        ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
        ASSERT_EQ(parsed.parts.size(), 2) << message.rcptTos.join(' ').toStdString();
        EXPECT_EQ(parsed.parts.at(1).payload, content) << "whoever got the mail got it whole";
    }
    EXPECT_EQ(received.at(0).rcptTos, QStringList{"m1@x.org"});
    EXPECT_EQ(received.at(1).rcptTos, QStringList{"m2@x.org"});

    const QStringList failures = failureSection();
    ASSERT_FALSE(failures.isEmpty());
    EXPECT_EQ(failures.first(), "Failures of this run: 8");
    EXPECT_EQ(failures.value(1), "ERROR Couldn't send email nr: 3 m3@x.org");
    EXPECT_EQ(failures.value(2), "    because: Cannot open '" + path + "': No such file or directory");
    for (int i = 4; i <= 10; ++i) {
        const qsizetype at = failures.indexOf(QStringLiteral("ERROR Couldn't send email nr: %1 m%1@x.org").arg(i));
        ASSERT_GT(at, 0) << i;
        EXPECT_EQ(failures.value(at + 1), "    because: File not found '" + path + "'");
    }
}

TEST_F(GroupSendHostileTest, AMemberWhoseAttachmentFailsIsLeftAndTheNextGetsANewSession)
{
    const QString path = folder.file("notes.txt");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("notes\n");
    }
    removeWithTheDataCommandOf(2, path);
    status.onActivity = [&](const QString &text) {
        // Back before the next member checks for it.
        if (text == "Sending to: m3") {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("notes\n");
        }
    };
    send("Ten", {"Hello"}, {path});
    EXPECT_EQ(server.messageCount(), 9);
    EXPECT_EQ(server.connectionCount(), 2) << "the dropped session is followed by a new one";
    for (const QByteArray &message : server.messages())
        EXPECT_TRUE(message.contains("bm90ZXMK")) << "every message that arrived carries the file";
    const QStringList failures = failureSection();
    EXPECT_EQ(failures, QStringList({"Failures of this run: 1", "ERROR Couldn't send email nr: 2 m2@x.org",
                                     "    because: Cannot open '" + path + "': No such file or directory"}));
}

TEST_F(GroupSendHostileTest, CancelEndsARunWaitingOnASilentServerAndKeepsItsMemberUnsentTwice)
{
    components->SmtpClient.TimeOut = 400; // 20 s
    server.script(".", {{"250 queued"}, {"250 too late", 15000}});
    status.onActivity = [&](const QString &text) {
        if (text == "Sending to: m2")
            QTimer::singleShot(20, run.get(), [this] { run->bu_StopClick(); });
    };
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_TRUE(waitFor([&] { return !run->Busy(); }, 5000));
    EXPECT_EQ(prompts.texts(), QStringList({"Operation aborted!", "Do you want to continue at current position next time?"}));
    EXPECT_EQ(server.messageCount(), 2);
    EXPECT_TRUE(failureSection().value(1).startsWith("UNKNOWN Email nr: 2"));
    EXPECT_EQ(lastMail("Ten"), 3) << "member 2 may have it already";
}

TEST_F(GroupSendHostileTest, CancelWhileConnectingToASilentServerEndsTheRunQuietly)
{
    components->SmtpClient.TimeOut = 400;
    server.script("CONNECT", {{"220 too late", 15000}});
    status.onMemberCount = [&](std::optional<int> count) {
        if (count == 10)
            QTimer::singleShot(20, run.get(), [this] { run->bu_StopClick(); });
    };
    send("Ten");
    EXPECT_FALSE(run->Busy());
    EXPECT_TRUE(prompts.texts().isEmpty()) << "the user asked for it: no error box";
    EXPECT_EQ(status.activity, "Operation aborted");
    EXPECT_TRUE(status.sendEnabled);
    EXPECT_EQ(server.messageCount(), 0);
}

TEST_F(GroupSendHostileTest, AServerThatNeverEndsItsReplyFailsOneMemberAndTheRunGoesOn)
{
    components->SmtpClient.TimeOut = 4;
    ScriptedSmtpServer::Reply endless{"250-and more"};
    endless.repeatMs = 10;
    server.script("MAIL", {endless, {"250 ok"}});
    StoreSetup::addGroup(*dm, "Two", {"a@x.org", "b@x.org"});
    send("Two");
    EXPECT_EQ(recipients(), QStringList{"b@x.org"});
    EXPECT_EQ(server.messageCount(), 1);
    EXPECT_TRUE(status.results.value(0).contains("ERROR Couldn't send email nr: 1 a@x.org"));
}

}
