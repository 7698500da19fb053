#include "support/GroupSendFixture.h"

#include "support/SendSpans.h"

#include <QRegularExpression>
#include <QTimer>

// A run under a sending limit and against a server that turns members away
// for now: never more than the limit in any span, whoever sent; members
// refused for now get the message on a later pass; the results name everyone
// who did not.

namespace {

const QString LimitWait = "Limit reached, going on at ";

class GroupSendLimitTest : public GroupSendTest
{
protected:
    void SetUp() override
    {
        GroupSendTest::SetUp();
        server.setClock([] { return Clock::currentDateTime().toMSecsSinceEpoch(); });
        // Every wait is over at once: the clock is set to the time the status
        // bar names, as if the user had waited that long.
        status.onActivity = [this](const QString &text) {
            const QDateTime until = shownTime(text);
            if (!until.isValid())
                return;
            waits.append({text.left(text.indexOf(" at ") + 4), Clock::currentDateTime().secsTo(until)});
            if (onWait)
                onWait(text);
            if (!cancelInWait)
                clock.set(until);
        };
    }
    // The time a waiting text names, in hh:mm:ss when it is today.
    static QDateTime shownTime(const QString &text)
    {
        const QString at = text.section(" at ", -1);
        if (at == text)
            return {};
        const QDateTime full = QDateTime::fromString(at, "yyyy-MM-dd hh:mm:ss");
        if (full.isValid())
            return full;
        const QTime time = QTime::fromString(at, "hh:mm:ss");
        return time.isValid() ? QDateTime(Clock::currentDate(), time) : QDateTime();
    }
    QStringList failureSection(int run = 0)
    {
        const QStringList log = status.results.value(run);
        const qsizetype heading = log.lastIndexOf(QRegularExpression("^Failures of this run: \\d+$"));
        return heading < 0 ? QStringList() : log.mid(heading);
    }
    int attemptsFor(const QString &email)
    {
        return static_cast<int>(recipients().count(email));
    }

    struct Wait
    {
        QString text;
        qint64 seconds;
    };
    QList<Wait> waits;
    std::function<void(const QString &)> onWait;
    bool cancelInWait = false;
};

TEST_F(GroupSendLimitTest, NeverMoreThanTheLimitInAnyMinuteAndEveryMemberGetsItOnce)
{
    settings.FRateCount = 3;
    settings.FRateMinutes = 1;
    send("Ten");
    EXPECT_EQ(server.messageCount(), 10);
    const QList<qint64> times = server.messageTimes();
    ASSERT_EQ(times.size(), 10);
    EXPECT_EQ(mostInAnySpan(times, 60'000), 3);
    // Bursts of three, each as soon as the limit allows.
    for (qsizetype i = 3; i < times.size(); ++i)
        EXPECT_EQ(times[i] - times[i - 3], 60'000) << i;
    ASSERT_EQ(waits.size(), 3);
    for (const Wait &wait : waits)
        EXPECT_EQ(wait.text, LimitWait);
    EXPECT_EQ(status.activity, "Operation finished");
    EXPECT_TRUE(failureSection().isEmpty());
    EXPECT_EQ(lastMail("Ten"), 0);
}

// What the other program or an earlier run sent counts: the store keeps it.
TEST_F(GroupSendLimitTest, SendsOfAnotherProgramFillTheSameWindow)
{
    settings.FRateCount = 3;
    settings.FRateMinutes = 1;
    StoreSetup::addGroup(*dm, "Two", {"a@x.org", "b@x.org"});
    TDatabase other;
    other.Params = {"path=" + folder.file("DATA")};
    other.Open();
    TSendWindow elsewhere(other, TSendWindow::ServerKey(settings.FSmtpServer, settings.FSmtpPort), settings.SendLimit());
    const qint64 sentBefore = Clock::currentDateTime().toMSecsSinceEpoch();
    ASSERT_TRUE(elsewhere.Take());
    ASSERT_TRUE(elsewhere.Take());
    clock.advanceSeconds(20);
    send("Two");
    ASSERT_EQ(server.messageTimes().size(), 2);
    EXPECT_EQ(server.messageTimes()[0], sentBefore + 20'000) << "one place was left";
    EXPECT_EQ(server.messageTimes()[1], sentBefore + 60'000) << "the next when the other's first left the window";
    // The other program's sends have left the window; the run's two fill
    // all but one place of it.
    EXPECT_TRUE(elsewhere.Take());
    EXPECT_FALSE(elsewhere.Take()) << "the other program counts the run's sends";
}

TEST_F(GroupSendLimitTest, MembersTurnedAwayForNowGetTheMessageOnTheRetryPass)
{
    using Reply = ScriptedSmtpServer::Reply;
    server.refuseFirstTry("RCPT", "m3@x.org", Reply{"450 4.2.0 greylisted, try again later"});
    server.refuseFirstTry(".", "m6@x.org", Reply{"452 4.3.1 insufficient system storage"});
    server.refuseFirstTry("RCPT", "m8@x.org", Reply{"550 5.1.1 no such user"});
    send("Ten");
    EXPECT_EQ(server.messageCount(), 10) << "nine delivered, and m6's first that was refused at its end";
    EXPECT_EQ(attemptsFor("m6@x.org"), 2);
    EXPECT_EQ(attemptsFor("m8@x.org"), 1) << "a permanent refusal is not tried again";
    EXPECT_EQ(attemptsFor("m3@x.org"), 2);
    EXPECT_EQ(recipients().mid(10), QStringList({"m3@x.org", "m6@x.org"})) << "the retries come after the first pass";
    ASSERT_EQ(waits.size(), 1);
    EXPECT_EQ(waits[0].text, "Trying 2 email again at ");
    EXPECT_EQ(waits[0].seconds, TGroupSend::RetryPauseSeconds);
    const QStringList failures = failureSection();
    EXPECT_EQ(failures, QStringList({"Failures of this run: 1", "ERROR Couldn't send email nr: 8 m8@x.org",
                                     "    because: 550 5.1.1 no such user"}));
    EXPECT_EQ(lastMail("Ten"), 0);
}

TEST_F(GroupSendLimitTest, TheLogTellsWhoWasTurnedAwayForNowAndWhy)
{
    StoreSetup::addGroup(*dm, "Two", {"a@x.org", "b@x.org"});
    server.refuseFirstTry("RCPT", "a@x.org", ScriptedSmtpServer::Reply{"450 4.2.0 greylisted, try again later"});
    send("Two");
    const QStringList log = status.results.value(0);
    const qsizetype deferred = log.indexOf("DEFERRED Email nr: 1 a@x.org was turned away for now");
    ASSERT_GE(deferred, 0) << log.join('\n').toStdString();
    EXPECT_EQ(log.value(deferred + 1), "    because: 450 4.2.0 greylisted, try again later");
    EXPECT_EQ(recipients(), QStringList({"a@x.org", "b@x.org", "a@x.org"}));
    EXPECT_TRUE(failureSection().isEmpty());
}

// A member the server keeps turning away is tried in three more passes, each
// after a longer pause, then named in the results with the server's last word.
TEST_F(GroupSendLimitTest, AMemberTurnedAwayEveryTimeFailsAfterThreePassesWithTheLastReply)
{
    using Reply = ScriptedSmtpServer::Reply;
    int pass = 0;
    server.refuseFirstTry("RCPT", "m5@x.org", Reply{"451 busy, first pass"});
    onWait = [&](const QString &) {
        ++pass;
        server.refuseFirstTry("RCPT", "m5@x.org", Reply{QByteArray("451 busy, retry ") + QByteArray::number(pass)});
    };
    send("Ten");
    EXPECT_EQ(server.messageCount(), 9);
    EXPECT_EQ(attemptsFor("m5@x.org"), 1 + TGroupSend::RetryPasses);
    ASSERT_EQ(waits.size(), TGroupSend::RetryPasses);
    EXPECT_EQ(waits[0].seconds, TGroupSend::RetryPauseSeconds);
    EXPECT_EQ(waits[1].seconds, 2 * TGroupSend::RetryPauseSeconds);
    EXPECT_EQ(waits[2].seconds, 4 * TGroupSend::RetryPauseSeconds);
    EXPECT_EQ(failureSection(), QStringList({"Failures of this run: 1", "ERROR Couldn't send email nr: 5 m5@x.org",
                                             "    because: 451 busy, retry 3"}));
    EXPECT_EQ(status.activity, "Operation finished");
}

TEST_F(GroupSendLimitTest, AServerClosingWithA421MidRunIsReconnectedAndTheMemberRetried)
{
    server.refuseFirstTry("RCPT", "m4@x.org", {.text = "421 4.7.0 too many messages, closing", .closeAfter = true});
    send("Ten");
    EXPECT_EQ(server.messageCount(), 10);
    EXPECT_GE(server.connectionCount(), 2);
    EXPECT_EQ(recipients().mid(3, 2), QStringList({"m4@x.org", "m4@x.org"})) << "tried again after a pause, before m5";
    ASSERT_EQ(waits.size(), 1);
    EXPECT_EQ(waits[0].seconds, TGroupSend::RetryPauseSeconds);
    EXPECT_EQ(attemptsFor("m5@x.org"), 1) << "the members after it go over a new connection";
    EXPECT_TRUE(failureSection().isEmpty());
    EXPECT_EQ(lastMail("Ten"), 0);
}

TEST_F(GroupSendLimitTest, CancelDuringAWindowWaitEndsTheRunAndResumesAtTheMemberNotSent)
{
    settings.FRateCount = 3;
    settings.FRateMinutes = 1;
    cancelInWait = true;
    onWait = [&](const QString &) { QTimer::singleShot(0, run.get(), [&] { run->bu_StopClick(); }); };
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_EQ(server.messageCount(), 3);
    EXPECT_EQ(prompts.texts(), QStringList({"Operation aborted!", "Do you want to continue at current position next time?"}));
    EXPECT_EQ(lastMail("Ten"), 4);
    EXPECT_EQ(status.activity, "Operation aborted");
    EXPECT_TRUE(status.sendEnabled);
    EXPECT_FALSE(run->Busy());
}

TEST_F(GroupSendLimitTest, CancelDuringTheRetryPauseNamesTheMembersLeftOut)
{
    server.refuseFirstTry("RCPT", "m2@x.org", ScriptedSmtpServer::Reply{"451 try later"});
    cancelInWait = true;
    onWait = [&](const QString &) { QTimer::singleShot(0, run.get(), [&] { run->bu_StopClick(); }); };
    prompts.answer(PromptAnswer::Yes);
    send("Ten");
    EXPECT_EQ(server.messageCount(), 9);
    EXPECT_EQ(lastMail("Ten"), 2) << "member 2 was turned away and never got it";
    EXPECT_EQ(failureSection(), QStringList({"Failures of this run: 1", "ERROR Couldn't send email nr: 2 m2@x.org",
                                             "    because: 451 try later"}));
}

// No limit set: the run is the one there was before the limit, byte for byte
// on the wire but for the Message-IDs, and the store keeps no send times.
TEST_F(GroupSendLimitTest, NoLimitSendsAsBefore)
{
    QList<QByteArray> wires;
    for (const TSendLimit none : {TSendLimit{0, 0}, TSendLimit{0, 5}, TSendLimit{5, 0}}) {
        ScriptedSmtpServer fresh;
        fresh.setClock([] { return Clock::currentDateTime().toMSecsSinceEpoch(); });
        settings.FSmtpPort = fresh.portText();
        settings.FRateCount = none.Count;
        settings.FRateMinutes = none.Minutes;
        send("Ten");
        // Each run draws Message-IDs of its own; everything else is the same.
        static const QRegularExpression messageId("Message-ID: [^\\r]*\\r\\n");
        wires.append(QString::fromLatin1(fresh.received()).remove(messageId).toLatin1());
        EXPECT_EQ(fresh.messageCount(), 10);
    }
    EXPECT_EQ(wires[1], wires[0]);
    EXPECT_EQ(wires[2], wires[0]);
    EXPECT_TRUE(waits.isEmpty());
    TQuery q(&dm->Databas);
    q.AddSQL("SELECT COUNT(*) FROM SendTimes");
    q.Open();
    EXPECT_EQ(q.Fields(0).AsInteger(), 0);
}

}
