#include "connection/DialUp.h"

#include "connection/DialUpEventLog.h"
#include "support/InMemoryPhoneBook.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

namespace {

constexpr int Bound = 10000;

// Waits for the backend's thread without running the event loop, so nothing
// can be delivered meanwhile.
bool handedOverWithoutDelivery(const InMemoryPhoneBook &book, int count)
{
    QDeadlineTimer deadline(Bound);
    while (book.notificationsHandedOver() < count) {
        if (deadline.hasExpired())
            return false;
        QThread::yieldCurrentThread();
    }
    return true;
}

class DialUpAsync : public ::testing::Test
{
protected:
    DialUpAsync()
        : book(new InMemoryPhoneBook), dialUp(std::make_unique<TDialUp>(std::unique_ptr<DialUpBackend>(book))),
          log(*dialUp)
    {
        book->addEntry("Office");
        book->addEntry("Home");
        dialUp->setEntry("Office");
    }

    bool waitForLines(int count)
    {
        return QTest::qWaitFor([&] { return log.lines.size() >= count; }, Bound);
    }

    InMemoryPhoneBook *book;
    std::unique_ptr<TDialUp> dialUp;
    DialUpEventLog log;
};

TEST_F(DialUpAsync, TwoNotificationsBeforeTheFirstTickArriveAsTwoEventsInOrder)
{
    book->setOutcome("Office", {0, false, {{0, 0}, {DialUpState::Connected, 0}}});
    ASSERT_EQ(dialUp->Dial(), 0);
    ASSERT_TRUE(handedOverWithoutDelivery(*book, 2));
    EXPECT_EQ(log.lines, QStringList{"Dialing"});

    ASSERT_TRUE(waitForLines(3));
    EXPECT_EQ(log.lines, QStringList({"Dialing", "AsyncEvent 0 0 Opening port", "AsyncEvent 8192 0 Connected"}));
    // The component never hangs up by itself.
    EXPECT_TRUE(book->isConnected("Office"));
}

TEST_F(DialUpAsync, ManyNotificationsAreDeliveredOneAtATimeOnTheMainThreadInOrder)
{
    book->setErrorText(629, "The port was disconnected by the remote machine.");
    InMemoryPhoneBook::DialOutcome outcome;
    QStringList expected{"Dialing"};
    for (int state = 0; state <= 21; ++state) {
        outcome.notifications.append({state, 0});
        dialUp->setLanguage(TLanguage::Czech);
        expected << QStringLiteral("AsyncEvent %1 0 %2").arg(state).arg(dialUp->StatusText(state, 0));
    }
    outcome.notifications.append({DialUpState::Disconnected, 629});
    expected << "AsyncEvent 8193 629 The port was disconnected by the remote machine.";
    book->setOutcome("Office", outcome);

    bool inHandler = false;
    bool overlapped = false;
    bool offMainThread = false;
    const auto record = dialUp->OnAsyncEvent;
    dialUp->OnAsyncEvent = [&](TDialUp *sender, qint32 state, qint32 error, const QString &text) {
        overlapped |= inHandler;
        offMainThread |= QThread::currentThread() != QCoreApplication::instance()->thread();
        inHandler = true;
        // A handler that runs the event loop must not see the next notification early.
        QCoreApplication::processEvents();
        record(sender, state, error, text);
        inHandler = false;
    };

    ASSERT_EQ(dialUp->Dial(), 0);
    ASSERT_TRUE(waitForLines(expected.size()));
    EXPECT_EQ(log.lines, expected);
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(offMainThread);
}

TEST_F(DialUpAsync, RefusedAtOnceFiresOnErrorWithTheText)
{
    book->setOutcome("Office", {DialUpCode::ServiceUnavailable, false, {}});
    book->setErrorText(DialUpCode::ServiceUnavailable, "Network manager not available");
    EXPECT_EQ(dialUp->Dial(), DialUpCode::ServiceUnavailable);
    QCoreApplication::processEvents();
    EXPECT_EQ(log.lines, QStringList({"Dialing", "Error 711 Network manager not available"}));
    EXPECT_EQ(book->calls().at(2), "dial Office async");
}

TEST_F(DialUpAsync, NotificationsOfAnEarlierDialAreNotDelivered)
{
    book->setOutcome("Office", {0, false, {{0, 0}, {2, 0}, {DialUpState::Connected, 0}}});
    book->setOutcome("Home", {0, false, {{DialUpState::Connected, 0}}});
    ASSERT_EQ(dialUp->Dial(), 0);
    // The first waits in the slot and the second behind it when the next dial starts.
    ASSERT_TRUE(handedOverWithoutDelivery(*book, 2));
    dialUp->setEntry("Home");
    ASSERT_EQ(dialUp->Dial(), 0);

    ASSERT_TRUE(waitForLines(3));
    QCoreApplication::processEvents();
    EXPECT_EQ(log.lines, QStringList({"Dialing", "Dialing", "AsyncEvent 8192 0 Connected"}));
    EXPECT_FALSE(book->isConnected("Office"));
}

TEST_F(DialUpAsync, HandlerMayRedialOnDisconnection)
{
    book->setOutcome("Office", {0, false, {{2, 0}, {DialUpState::Disconnected, 668}, {0, 0}}});
    book->setOutcome("Home", {0, false, {{DialUpState::Connected, 0}}});
    const auto record = dialUp->OnAsyncEvent;
    dialUp->OnAsyncEvent = [&](TDialUp *sender, qint32 state, qint32 error, const QString &text) {
        record(sender, state, error, text);
        if (state == DialUpState::Disconnected) {
            sender->setEntry("Home");
            sender->Dial();
        }
    };

    ASSERT_EQ(dialUp->Dial(), 0);
    ASSERT_TRUE(waitForLines(5));
    QCoreApplication::processEvents();
    EXPECT_EQ(log.lines, QStringList({"Dialing", "AsyncEvent 2 0 Connecting device", "AsyncEvent 8193 668 Error 668",
                                      "Dialing", "AsyncEvent 8192 0 Connected"}));
}

TEST_F(DialUpAsync, DestroyingTheComponentReleasesAWaitingNotifier)
{
    book->setOutcome("Office", {0, false, {{0, 0}, {2, 0}, {DialUpState::Connected, 0}}});
    ASSERT_EQ(dialUp->Dial(), 0);
    ASSERT_TRUE(handedOverWithoutDelivery(*book, 2));

    // Joins the backend's thread, which is waiting for the slot to free up.
    dialUp.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(log.lines, QStringList{"Dialing"});
}

TEST_F(DialUpAsync, ReplacingTheBackendStopsTheDialsReports)
{
    book->setOutcome("Office", {0, false, {{0, 0}, {2, 0}}});
    ASSERT_EQ(dialUp->Dial(), 0);
    ASSERT_TRUE(handedOverWithoutDelivery(*book, 2));

    auto *other = new InMemoryPhoneBook;
    dialUp->setBackend(std::unique_ptr<DialUpBackend>(other));
    QCoreApplication::processEvents();
    EXPECT_EQ(log.lines, QStringList{"Dialing"});
    // Nothing of the old backend's dial is held any more.
    EXPECT_EQ(dialUp->HangUp(), DialUpCode::InvalidHandle);
    EXPECT_EQ(other->calls(), QStringList{"hangUp 0"});
}

}
