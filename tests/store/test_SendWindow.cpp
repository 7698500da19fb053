#include "store/SendWindow.h"

#include "store/Query.h"
#include "support/MockClock.h"
#include "support/SendSpans.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <memory>

// The sliding window of the sending limit, on the real store with a clock
// the test moves: never more than the limit in any span, whoever sent.

namespace {

const QDateTime Start(QDate(2026, 12, 8), QTime(11, 0, 0), Qt::UTC);

class SendWindowTest : public ::testing::Test
{
protected:
    void SetUp() override { StoreSetup::createStore(folder); }

    std::unique_ptr<TDatabase> connect()
    {
        auto db = std::make_unique<TDatabase>();
        db->Params = {"path=" + folder.file("DATA")};
        db->Open();
        return db;
    }
    int rows()
    {
        auto db = connect();
        TQuery q(db.get());
        q.AddSQL("SELECT COUNT(*) FROM SendTimes");
        q.Open();
        return q.Fields(0).AsInteger();
    }
    // Sends count messages as a run does: whenever the window is full, it
    // waits until the time the window names, then goes on.
    QList<qint64> sendAll(TSendWindow &window, int count, qint64 stepMs)
    {
        QList<qint64> times;
        while (times.size() < count) {
            if (window.Take()) {
                times.append(Clock::currentDateTime().toMSecsSinceEpoch());
                clock.set(clock.currentDateTime().addMSecs(stepMs));
            } else {
                EXPECT_GT(window.FreeAt(), Clock::currentDateTime());
                clock.set(window.FreeAt());
            }
        }
        return times;
    }

    TempProgramFolder folder;
    MockClock clock{Start};
};

TEST_F(SendWindowTest, NeverMoreThanTheLimitInAnySpanAndNoLongerWaitThanNeeded)
{
    auto db = connect();
    const TSendLimit limit{5, 1};
    TSendWindow window(*db, "mail.example.org:25", limit);
    const QList<qint64> times = sendAll(window, 12, 700);
    EXPECT_EQ(mostInAnySpan(times, limit.SpanMs()), 5);
    // Three bursts of five, five and two, each a minute after the one before.
    for (qsizetype i = 5; i < times.size(); ++i)
        EXPECT_EQ(times[i] - times[i - 5], limit.SpanMs()) << i;
    EXPECT_EQ(times.first(), Start.toMSecsSinceEpoch());
    EXPECT_EQ(times.last(), Start.toMSecsSinceEpoch() + 2 * 60'000 + 700);
}

TEST_F(SendWindowTest, AFullWindowCountsNothingAndNamesWhenAPlaceFreesUp)
{
    auto db = connect();
    TSendWindow window(*db, "mail:25", {2, 10});
    ASSERT_TRUE(window.Take());
    EXPECT_FALSE(window.FreeAt().isValid());
    clock.advanceSeconds(60);
    ASSERT_TRUE(window.Take());
    clock.advanceSeconds(60);
    EXPECT_FALSE(window.Take());
    EXPECT_EQ(window.FreeAt(), Start.addSecs(600)) << "when the first send leaves the window";
    EXPECT_FALSE(window.Take());
    EXPECT_EQ(rows(), 2) << "a refused place is not counted";
    clock.set(Start.addSecs(600).addMSecs(-1));
    EXPECT_FALSE(window.Take()) << "one millisecond before, the first send still counts";
    clock.set(Start.addSecs(600));
    EXPECT_TRUE(window.Take());
    EXPECT_FALSE(window.Take());
    EXPECT_EQ(window.FreeAt(), Start.addSecs(660));
}

TEST_F(SendWindowTest, EachServerHasAWindowOfItsOwnAndNoLimitCountsNothing)
{
    auto db = connect();
    TSendWindow first(*db, TSendWindow::ServerKey(" Mail.Example.org ", "25"), {1, 5});
    TSendWindow same(*db, TSendWindow::ServerKey("mail.example.org", "25"), {1, 5});
    TSendWindow other(*db, TSendWindow::ServerKey("mail.example.org", "587"), {1, 5});
    EXPECT_TRUE(first.Take());
    EXPECT_FALSE(same.Take()) << "the same server however it is written";
    EXPECT_TRUE(other.Take());

    for (const TSendLimit none : {TSendLimit{0, 5}, TSendLimit{5, 0}, TSendLimit{0, 0}, TSendLimit{-1, 5}}) {
        TSendWindow unlimited(*db, TSendWindow::ServerKey("mail.example.org", "25"), none);
        for (int i = 0; i < 20; ++i)
            EXPECT_TRUE(unlimited.Take());
    }
    EXPECT_EQ(rows(), 2);
}

// A program started again, or the other program, finds the sends in the
// store; sends older than the span are pruned as the window moves on.
TEST_F(SendWindowTest, TheWindowOutlivesTheProgramAndForgetsWhatCanNoLongerCount)
{
    const TSendLimit limit{3, 2};
    {
        auto db = connect();
        TSendWindow window(*db, "mail:25", limit);
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(window.Take());
    }
    clock.advanceSeconds(30);
    {
        auto db = connect();
        TSendWindow window(*db, "mail:25", limit);
        EXPECT_FALSE(window.Take()) << "started again half a minute later";
        EXPECT_EQ(window.FreeAt(), Start.addSecs(120));
    }
    clock.advanceSeconds(600);
    auto db = connect();
    TSendWindow window(*db, "mail:25", limit);
    EXPECT_TRUE(window.Take());
    EXPECT_EQ(rows(), 1) << "the three old sends are gone";
}

// Two programs taking places at the same moment never take more than the
// window holds between them.
TEST_F(SendWindowTest, TwoProgramsSendingAtOnceShareTheLimit)
{
    const int limit = 40;
    const int attempts = 60;
    QList<QProcess *> senders;
    for (int i = 0; i < 2; ++i) {
        auto *sender = new QProcess;
        sender->start(CORVANE_WINDOW_SENDER, {folder.file("DATA"), "mail:25", QString::number(limit), "1",
                                              QString::number(attempts), QString::number(Start.toMSecsSinceEpoch())});
        senders.append(sender);
    }
    int taken = 0;
    for (QProcess *sender : senders) {
        EXPECT_TRUE(sender->waitForFinished(60000));
        EXPECT_EQ(sender->exitCode(), 0) << sender->readAllStandardError().toStdString();
        taken += sender->readAllStandardOutput().trimmed().toInt();
        delete sender;
    }
    EXPECT_EQ(taken, limit);
    EXPECT_EQ(rows(), limit);

    auto db = connect();
    TSendWindow mine(*db, "mail:25", {limit, 1});
    EXPECT_FALSE(mine.Take()) << "this program counts the others' sends";
}

}
