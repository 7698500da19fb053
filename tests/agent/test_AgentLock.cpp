#include "agent/AgentLock.h"
#include "support/WaitFor.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <future>
#include <gtest/gtest.h>

namespace {

// One agent per schedule: a later start on the same files does not get the
// lock, asks the holder to show its window and learns whether it did.
TEST(AgentLock, OneAgentHoldsASchedulesLockAndALaterStartAsksItToShow)
{
    QTemporaryDir data;
    QTemporaryDir otherData;
    ASSERT_TRUE(data.isValid() && otherData.isValid());
    agent::TAgentLock holder(data.path());
    ASSERT_TRUE(holder.TryLock());
    int shown = 0;
    QObject::connect(&holder, &agent::TAgentLock::showRequested, [&] { ++shown; });

    agent::TAgentLock later(data.path());
    EXPECT_FALSE(later.TryLock());
    // The holder answers from this thread's event loop; the later start
    // waits for it as a program of its own would.
    std::future<QString> said = std::async(std::launch::async, [&] { return later.AskHolderToShow(); });
    ASSERT_TRUE(waitFor([&] { return said.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }));
    EXPECT_EQ(said.get(), "Ostrel98 already works off the schedule in \"" + QDir(data.path()).absolutePath()
                              + "\" (process " + QString::number(QCoreApplication::applicationPid())
                              + "). Its window is shown.");
    EXPECT_EQ(shown, 1);

    agent::TAgentLock elsewhere(otherData.path());
    EXPECT_TRUE(elsewhere.TryLock()) << "another schedule has an agent of its own";
}

TEST(AgentLock, ALockThatIsGivenUpIsFreeForTheNextAgent)
{
    QTemporaryDir data;
    {
        agent::TAgentLock first(data.path());
        ASSERT_TRUE(first.TryLock());
    }
    agent::TAgentLock next(data.path());
    EXPECT_TRUE(next.TryLock());
}

}
