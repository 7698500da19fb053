#include "support/GroupSendFixture.h"
#include "support/MemorySecretStore.h"

#include "send/UnsubscribeSecret.h"
#include "send/UnsubscribeToken.h"
#include "store/SuppressionList.h"
#include "transport/MessageIds.h"

#include <QRegularExpression>

// A run that keeps a bulk sender's duties: it never mails an address on the
// suppression list, puts an address the server says does not exist on it,
// waits when the server asks for a rest, stops when connections keep
// failing, gives each message its list headers where the group wants them,
// and sums up at the top of its results.

namespace {

const QString ServerWait = "The server asks to wait, going on at ";

class GroupSendBouncesTest : public GroupSendTest
{
protected:
    void SetUp() override
    {
        GroupSendTest::SetUp();
        // Every wait is over at once, as if the user had waited an hour.
        status.onActivity = [this](const QString &text) {
            if (!text.contains(" again at ") && !text.contains(" going on at "))
                return;
            waits.append(text.left(text.indexOf(" at ") + 4));
            if (onWait)
                onWait();
            clock.advanceSeconds(3600);
        };
    }
    void suppress(const QString &address, TSuppressionReason reason)
    {
        TSuppressionList list(dm->Databas);
        ASSERT_TRUE(list.Add({address, reason, {}}));
    }
    QString reasonFor(const QString &address)
    {
        return TSuppressionList(dm->Databas).ReasonFor(address);
    }
    int attemptsFor(const QString &email) { return static_cast<int>(recipients().count(email)); }
    QStringList results(int run = 0) { return status.results.value(run); }
    TRunOutcome runTo(const QString &group) { return run->Run({group, "Greetings", {}, {"Hello"}}); }

    QStringList waits;
    std::function<void()> onWait;
};

TEST_F(GroupSendBouncesTest, SuppressedMembersAreNeverMailedAndTheResultsCountAndNameThem)
{
    suppress("m2@x.org", TSuppressionReason::Unsubscribed);
    suppress("m5@x.org", TSuppressionReason::HardBounce);
    suppress("m9@X.Org", TSuppressionReason::AddedByHand);
    send("Ten");
    EXPECT_EQ(recipients(), QStringList({"m1@x.org", "m3@x.org", "m4@x.org", "m6@x.org", "m7@x.org", "m8@x.org",
                                         "m10@x.org"}));
    const QStringList log = results();
    ASSERT_GE(log.size(), 5);
    EXPECT_EQ(log.mid(0, 5),
              QStringList({"Delivered: 7, refused: 0, deferred and still undelivered: 0, suppressed: 0, skipped: 3",
                           "    skipped: email nr: 2 m2@x.org (unsubscribed)",
                           "    skipped: email nr: 5 m5@x.org (hard bounce)",
                           "    skipped: email nr: 9 m9@x.org (added by hand)", ""}))
        << log.join('\n').toStdString();
    EXPECT_EQ(lastMail("Ten"), 0);
    EXPECT_EQ(status.activity, "Operation finished");
}

TEST_F(GroupSendBouncesTest, ANoSuchMailboxInOneRunMeansNoAttemptInTheNext)
{
    server.refuseFirstTry("RCPT", "m3@x.org", {"550 5.1.1 <m3@x.org>: no such user"});
    server.refuseFirstTry("RCPT", "m4@x.org", {"552 5.2.2 mailbox full"});
    send("Ten");
    EXPECT_EQ(server.messageCount(), 8);
    EXPECT_EQ(reasonFor("m3@x.org"), "hard bounce");
    EXPECT_EQ(reasonFor("m4@x.org"), "") << "a full mailbox may empty";
    const QList<TSuppressionRow> rows = TSuppressionList(dm->Databas).Rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].detail, "550 5.1.1 <m3@x.org>: no such user") << "the reply is kept as the detail";
    const QStringList first = results();
    EXPECT_EQ(first.value(0), "Delivered: 8, refused: 2, deferred and still undelivered: 0, suppressed: 1, skipped: 0");
    EXPECT_EQ(first.value(1), "    suppressed: email nr: 3 m3@x.org");
    EXPECT_TRUE(first.contains("ERROR Couldn't send email nr: 3 m3@x.org")) << "still a failure of this run";

    send("Ten");
    EXPECT_EQ(attemptsFor("m3@x.org"), 1) << "never tried again";
    EXPECT_EQ(attemptsFor("m4@x.org"), 2);
    EXPECT_EQ(results(1).value(0),
              "Delivered: 9, refused: 0, deferred and still undelivered: 0, suppressed: 0, skipped: 1");
    EXPECT_EQ(results(1).value(1), "    skipped: email nr: 3 m3@x.org (hard bounce)");
}

TEST_F(GroupSendBouncesTest, AThrottleMidRunPausesAndTheSameMemberGoesNextWithEveryoneServed)
{
    server.refuseFirstTry("RCPT", "m6@x.org", {"451 4.7.1 slow down"});
    send("Ten");
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_EQ(waits, QStringList({ServerWait}));
    EXPECT_EQ(recipients().mid(5, 2), QStringList({"m6@x.org", "m6@x.org"})) << "tried again before m7";
    EXPECT_EQ(attemptsFor("m7@x.org"), 1);
    EXPECT_EQ(results().value(0), "Delivered: 10, refused: 0, deferred and still undelivered: 0, suppressed: 0, skipped: 0");
    EXPECT_EQ(lastMail("Ten"), 0);
}

// A member the server keeps asking to wait for does not hold the run: after
// the tries in a row, it waits for the retry passes like any member turned
// away for now, and the members after it go on.
TEST_F(GroupSendBouncesTest, AThrottleThatDoesNotPassSendsTheMemberToTheRetryPasses)
{
    server.refuseFirstTry("RCPT", "m6@x.org", {"451 4.7.1 slow down"});
    int tries = 1;
    onWait = [&] {
        if (++tries <= TGroupSend::FailedConnectionsLimit)
            server.refuseFirstTry("RCPT", "m6@x.org", {"451 4.7.1 slow down"});
    };
    EXPECT_EQ(runTo("Ten"), TRunOutcome::Finished);
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_EQ(attemptsFor("m6@x.org"), TGroupSend::FailedConnectionsLimit + 1);
    EXPECT_EQ(recipients().last(), "m6@x.org") << "delivered on the retry pass, after m10";
    EXPECT_EQ(waits, QStringList({ServerWait, ServerWait, "Trying 1 email again at "}));
}

TEST_F(GroupSendBouncesTest, ThreeConnectionsInARowThatFailStopTheRunWhereTheNextGoesOn)
{
    using Reply = ScriptedSmtpServer::Reply;
    suppress("m2@x.org", TSuppressionReason::Unsubscribed);
    server.script("CONNECT", {Reply{"220 test.local ready"}, Reply{.text = "421 4.3.2 going down", .closeAfter = true}});
    server.refuseFirstTry("RCPT", "m5@x.org", {.text = "421 4.3.2 shutting down", .closeAfter = true});
    EXPECT_EQ(runTo("Ten"), TRunOutcome::NotConnected);
    EXPECT_EQ(server.messageCount(), 3) << "m1, m3 and m4";
    EXPECT_EQ(server.connectionCount(), 3);
    EXPECT_EQ(waits, QStringList({ServerWait, ServerWait}));
    const QString stopped = "Sending stopped: 3 connections in a row to 127.0.0.1 failed (last: 421 4.3.2 going down). "
                            "The next run goes on at email nr: 5";
    EXPECT_TRUE(prompts.texts().contains(stopped)) << prompts.texts().join('\n').toStdString();
    EXPECT_TRUE(results().contains("ERROR " + stopped));
    EXPECT_EQ(results().value(0),
              "Delivered: 3, refused: 0, deferred and still undelivered: 1, suppressed: 0, skipped: 1");
    EXPECT_EQ(lastMail("Ten"), 5);
    EXPECT_EQ(status.activity, "Operation stopped");
    EXPECT_TRUE(status.sendEnabled);
    EXPECT_FALSE(run->Busy());

    server.script("CONNECT", "220 test.local ready");
    prompts.answer(PromptAnswer::Yes);
    EXPECT_EQ(runTo("Ten"), TRunOutcome::Finished);
    EXPECT_EQ(recipients().mid(4), QStringList({"m5@x.org", "m6@x.org", "m7@x.org", "m8@x.org", "m9@x.org",
                                                "m10@x.org"}));
}

// A server that takes connections but drops each before its greeting
// counts as much as one that says 421.
TEST_F(GroupSendBouncesTest, AServerThatDropsEveryNewConnectionAlsoStopsTheRun)
{
    using Reply = ScriptedSmtpServer::Reply;
    server.script("CONNECT", {Reply{"220 test.local ready"}, Reply{.text = "", .drop = true}});
    server.refuseFirstTry("RCPT", "m3@x.org", {.text = "", .drop = true});
    EXPECT_EQ(runTo("Ten"), TRunOutcome::NotConnected);
    EXPECT_EQ(server.messageCount(), 2);
    EXPECT_EQ(waits, QStringList({ServerWait, ServerWait})) << "no retry pass for m3 on a server that is gone";
    EXPECT_EQ(lastMail("Ten"), 3) << "m3 lost its connection and never got it";
    const QStringList log = results();
    EXPECT_TRUE(log.contains("ERROR Couldn't send email nr: 3 m3@x.org"));
    EXPECT_TRUE(log.contains("ERROR Couldn't send email nr: 4 m4@x.org"));
    EXPECT_EQ(log.value(0), "Delivered: 2, refused: 0, deferred and still undelivered: 2, suppressed: 0, skipped: 0");
}

class ListHeadersRunTest : public GroupSendBouncesTest
{
protected:
    void SetUp() override
    {
        GroupSendBouncesTest::SetUp();
        vault = std::make_shared<MemorySecretStore::Vault>();
        components->Login.setStore(std::make_unique<MemorySecretStore>(vault));
        dm->StoreListHeaders("Ten", true);
    }
    // The member numbers (Unikt) of the group, by address.
    QHash<QString, qint64> numbers()
    {
        QHash<QString, qint64> result;
        const QStringList emails = StoreSetup::column(*dm, "Email", "Ten");
        const QStringList unikt = StoreSetup::column(*dm, "Unikt", "Ten");
        for (int i = 0; i < emails.size(); ++i)
            result.insert(emails[i], unikt[i].toLongLong());
        return result;
    }
    static QString header(const QByteArray &message, const QString &name)
    {
        const QString text = QString::fromLatin1(message.left(message.indexOf("\r\n\r\n") + 2));
        const QRegularExpression line("(?:^|\\r\\n)" + name + ": ((?:[^\\r]|\\r\\n\\t)*)\\r\\n");
        return line.match(text).captured(1);
    }
    std::shared_ptr<MemorySecretStore::Vault> vault;
};

TEST_F(ListHeadersRunTest, EveryMessageCarriesTheListHeadersWithItsMembersOwnToken)
{
    settings.FUnsubscribeUrl = "https://example.org/leave/{token}";
    send("Ten");
    ASSERT_EQ(server.messageCount(), 10);
    const QString key = UnsubscribeSecret::KeyFor(dm->StoreIdentity());
    ASSERT_TRUE(vault->secrets.contains(key)) << "the secret is made at the first run";
    const UnsubscribeToken tokens(QByteArray::fromHex(vault->secrets.value(key).toLatin1()));
    const QHash<QString, qint64> members = numbers();
    QSet<QString> seen;
    for (const QByteArray &message : server.messages()) {
        const QString to = header(message, "To");
        const QString address = to.section('<', 1).section('>', 0, 0);
        const QString token = TMessageIds::tokenOf(header(message, "Message-ID"));
        EXPECT_EQ(header(message, "List-Id"), "<ten.x.org>");
        EXPECT_EQ(header(message, "List-Unsubscribe"),
                  "<mailto:ann@x.org?subject=unsubscribe%20" + token + ">,\r\n\t<https://example.org/leave/" + token + ">");
        EXPECT_EQ(header(message, "List-Unsubscribe-Post"), "List-Unsubscribe=One-Click");
        const auto verified = tokens.verify(token, [&](qint64 n) -> std::optional<QString> {
            return members.key(n, QString()).isEmpty() ? std::nullopt : std::optional<QString>(members.key(n));
        });
        ASSERT_TRUE(verified.has_value()) << to.toStdString();
        EXPECT_EQ(*verified, members.value(address)) << "the token names the member it went to";
        seen.insert(token);
    }
    EXPECT_EQ(seen.size(), 10) << "one token per member";
}

TEST_F(ListHeadersRunTest, WithoutASecretTheMessagesCarryTheListIdAloneAndTheLogSaysWhy)
{
    vault->available = false;
    send("Ten");
    ASSERT_EQ(server.messageCount(), 10);
    for (const QByteArray &message : server.messages()) {
        EXPECT_EQ(header(message, "List-Id"), "<ten.x.org>");
        EXPECT_EQ(header(message, "List-Unsubscribe"), "");
        EXPECT_EQ(TMessageIds::tokenOf(header(message, "Message-ID")), "");
    }
    EXPECT_TRUE(results().value(1).startsWith("No unsubscribe token in this run: no secret store answers"))
        << results().value(1).toStdString();
}

TEST_F(ListHeadersRunTest, AGroupWithTheSwitchOffGetsNoListHeaderAndNoSecretIsMade)
{
    dm->StoreListHeaders("Ten", false);
    send("Ten");
    ASSERT_EQ(server.messageCount(), 10);
    EXPECT_FALSE(QString::fromLatin1(server.received()).contains("List-"));
    EXPECT_EQ(vault->reads, 0);
}

} // namespace
