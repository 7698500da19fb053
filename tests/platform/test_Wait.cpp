#include "platform/Wait.h"

#include "platform/MessageBoxPrompts.h"
#include "support/ModalDialogs.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QTest>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

// A window that records the presses that reach it.
class PressRecorder : public QWidget
{
public:
    QList<QEvent::Type> seen;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::KeyPress
            || e->type() == QEvent::KeyRelease || e->type() == QEvent::ContextMenu)
            seen.append(e->type());
        return QWidget::event(e);
    }
};

void postMouse(QWidget *target, Qt::MouseButton button)
{
    QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonPress, QPointF(5, 5),
                                                        QPointF(5, 5), button, button, Qt::NoModifier));
}

struct WaitTest : ::testing::Test
{
    TWait wait;
    int beeps = 0;
    void SetUp() override
    {
        wait.setInterval(1);
        TWait::setBeeper([this] { ++beeps; });
    }
    void TearDown() override { TWait::setBeeper(nullptr); }
};

TEST_F(WaitTest, StartReadsTheCountOrFallsBackToFifteen)
{
    wait.Caption = QString();
    wait.Start();
    EXPECT_EQ(wait.Caption, "15");
    EXPECT_TRUE(wait.Running());
    wait.Stop();

    wait.Caption = "seven";
    wait.Start();
    EXPECT_EQ(wait.InitialCount(), 15);
    wait.Stop();

    wait.Caption = "   7abc";
    wait.Start();
    EXPECT_EQ(wait.InitialCount(), 7);
    wait.Stop();
    EXPECT_EQ(wait.Caption, "7");
    EXPECT_FALSE(wait.Running());
    EXPECT_EQ(wait.ModalResult, TWait::mrStopped);
}

TEST_F(WaitTest, CountParsingTakesNoSign)
{
    EXPECT_EQ(TWait::parseCount("-5"), 0);
    EXPECT_EQ(TWait::parseCount("  42 s"), 42);
    EXPECT_EQ(TWait::parseCount(" x9"), 0);
}

TEST_F(WaitTest, CountOfOneTimesOutOnTheFirstTick)
{
    QList<int> counts;
    int timeouts = 0;
    wait.OnWait = [&](TWait *, qint32 count) { counts.append(count); };
    wait.OnTimeout = [&](TWait *) { ++timeouts; };
    wait.Caption = "1";
    wait.Execute();
    EXPECT_EQ(counts, QList<int>{0});
    EXPECT_EQ(timeouts, 1);
    EXPECT_EQ(wait.ModalResult, TWait::mrTimedOut);
    EXPECT_EQ(wait.Caption, "1");
}

TEST_F(WaitTest, FifteenCountsDownToZeroAndTimesOutOnTheFifteenthTick)
{
    QList<int> counts;
    int timeouts = 0;
    wait.OnWait = [&](TWait *, qint32 count) { counts.append(count); };
    wait.OnTimeout = [&](TWait *) { ++timeouts; };
    wait.Caption = "0";
    wait.Execute();
    QList<int> expected;
    for (int i = 14; i >= 0; --i)
        expected.append(i);
    EXPECT_EQ(counts, expected);
    EXPECT_EQ(timeouts, 1);
    EXPECT_EQ(wait.Caption, "15");
}

TEST_F(WaitTest, StopEndsExecuteAndRestoresTheCount)
{
    wait.setInterval(1000);
    wait.Caption = "30";
    int stops = 0;
    wait.OnWaitStop = [&](TWait *) { ++stops; };
    QTimer::singleShot(0, &wait, [this] { wait.Stop(); });
    wait.Execute();
    EXPECT_EQ(wait.ModalResult, TWait::mrStopped);
    EXPECT_EQ(wait.Caption, "30");
    EXPECT_EQ(stops, 1);
}

TEST_F(WaitTest, ExecuteBlocksOnEventsInsteadOfSpinning)
{
    wait.setInterval(20);
    wait.Caption = "5";
    int turns = 0;
    wait.OnWaiting = [&](TWait *) { ++turns; };
    wait.Execute();
    // Five ticks and a few other events; a polling loop would turn thousands
    // of times in 100 ms.
    EXPECT_GE(turns, 1);
    EXPECT_LT(turns, 60);
}

TEST_F(WaitTest, ClicksAndKeysAreSwallowedWithABeepDuringTheWait)
{
    PressRecorder window;
    QAction quit(&window);
    quit.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    window.addAction(&quit);
    int triggered = 0;
    QObject::connect(&quit, &QAction::triggered, [&] { ++triggered; });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
    ASSERT_EQ(triggered, 1);
    window.seen.clear();

    wait.setInterval(1000);
    wait.Caption = "30";
    QTimer::singleShot(0, &wait, [&] {
        QTest::keyClick(&window, Qt::Key_Q, Qt::ControlModifier);
        QCoreApplication::postEvent(&window, new QContextMenuEvent(QContextMenuEvent::Mouse, QPoint(5, 5), QPoint(5, 5)));
        postMouse(&window, Qt::LeftButton);
        postMouse(&window, Qt::RightButton);
        postMouse(&window, Qt::MiddleButton);
        QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier));
        QCoreApplication::postEvent(&window, new QKeyEvent(QEvent::KeyRelease, Qt::Key_A, Qt::NoModifier));
        QTimer::singleShot(0, &wait, [this] { wait.Stop(); });
    });
    wait.Execute();
    EXPECT_EQ(triggered, 1);
    // Control and Q, left and right button, A; the releases of Q, Control and
    // A pass, and so does the middle button.
    EXPECT_EQ(beeps, 5);
    EXPECT_EQ(window.seen, (QList<QEvent::Type>{QEvent::KeyRelease, QEvent::KeyRelease, QEvent::MouseButtonPress,
                                                QEvent::KeyRelease}));

    // After the wait everything reaches the window again.
    window.seen.clear();
    postMouse(&window, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(window.seen, QList<QEvent::Type>{QEvent::MouseButtonPress});
    EXPECT_EQ(beeps, 5);
}

// A button-like control: it takes the presses it gets.
class PressTaker : public PressRecorder
{
protected:
    void mousePressEvent(QMouseEvent *event) override { event->accept(); }
};

TEST_F(WaitTest, AControlThatAcceptsInputHearsClicksDuringTheWait)
{
    QWidget window;
    auto *cancel = new PressTaker;
    cancel->setParent(&window);
    auto *other = new PressRecorder;
    other->setParent(&window);
    wait.AcceptInputOn(cancel);
    wait.setInterval(1000);
    wait.Caption = "30";
    QTimer::singleShot(0, &wait, [&] {
        postMouse(cancel, Qt::LeftButton);
        postMouse(other, Qt::LeftButton);
        QTimer::singleShot(0, &wait, [this] { wait.Stop(); });
    });
    wait.Execute();
    EXPECT_EQ(cancel->seen, QList<QEvent::Type>{QEvent::MouseButtonPress});
    EXPECT_TRUE(other->seen.isEmpty());
    EXPECT_EQ(beeps, 1);
}

// A command heard during the wait may ask something (the agent's Abort asks
// what becomes of the schedule entry): the box takes the user's answer.
TEST_F(WaitTest, ABoxShownDuringTheWaitTakesItsAnswer)
{
    MessageBoxPrompts boxes;
    PromptService::Scope scope(boxes);
    wait.setInterval(1000);
    wait.Caption = "30";
    PromptAnswer answer = PromptAnswer::Ok;
    whenModal<QMessageBox>([](QMessageBox &box) { QTest::mouseClick(box.button(QMessageBox::Yes), Qt::LeftButton); });
    QTimer::singleShot(0, &wait, [&] {
        answer = Prompt::confirm("User aborted! Delete Group from schedule?");
        wait.Stop();
    });
    wait.Execute();
    EXPECT_EQ(answer, PromptAnswer::Yes) << "a box left unanswered is rejected, which answers No";
    EXPECT_EQ(beeps, 0);

    // With the box gone the wait swallows clicks again.
    PressRecorder window;
    QTimer::singleShot(0, &wait, [&] {
        postMouse(&window, Qt::LeftButton);
        QTimer::singleShot(0, &wait, [this] { wait.Stop(); });
    });
    wait.Execute();
    EXPECT_TRUE(window.seen.isEmpty());
    EXPECT_EQ(beeps, 1);
}

} // namespace
