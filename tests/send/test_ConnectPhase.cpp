#include "send/ConnectPhase.h"
#include "support/GroupSendFixture.h"

#include <gtest/gtest.h>

namespace {

// The connection phase over an in-memory phone book, without a run: what
// it shows, and when the run it holds may start.
class ConnectPhaseTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        settings.FDialLan = false;
        settings.FDialDevice = "Office";
        phoneBook = new InMemoryPhoneBook;
        dialUp = std::make_unique<TDialUp>(std::unique_ptr<DialUpBackend>(phoneBook));
        dialUp->setDialMode(TDialMode::dmSync);
        phase = std::make_unique<TConnectPhase>(*dialUp, settings, status);
    }
    void connectThen()
    {
        phase->ConnectThen([this] { ++started; });
    }
    QStringList calls(const QString &name) const { return phoneBook->calls().filter(name); }

    TMailerSettings settings;
    InMemoryPhoneBook *phoneBook = nullptr;
    std::unique_ptr<TDialUp> dialUp;
    RecordingStatus status;
    std::unique_ptr<TConnectPhase> phase;
    int started = 0;
};

TEST_F(ConnectPhaseTest, OverTheLanTheRunStartsAtOnceAndNothingIsDialledOrHungUp)
{
    settings.FDialLan = true;
    settings.FDialDisconnect = true;
    connectThen();
    EXPECT_EQ(started, 1);
    EXPECT_FALSE(phase->Pending());
    phase->RunEnded();
    EXPECT_TRUE(phoneBook->calls().isEmpty()) << phoneBook->calls().join(", ").toStdString();
    EXPECT_TRUE(status.activities.isEmpty());
    EXPECT_FALSE(status.runControls);
}

TEST_F(ConnectPhaseTest, AnEntryThatIsUpStartsTheRunAtOnceAndIsHungUpOnlyWhenTheSettingsAsk)
{
    phoneBook->addEntry("Office");
    phoneBook->addConnection("Office", TRasConnStatus());
    connectThen();
    EXPECT_EQ(started, 1);
    EXPECT_TRUE(phase->FConnected);
    EXPECT_TRUE(calls("dial").isEmpty());

    phase->RunEnded();
    EXPECT_TRUE(calls("hangUp").isEmpty()) << "the settings keep the line up";
    EXPECT_TRUE(phase->FConnected);
    settings.FDialDisconnect = true;
    phase->RunEnded();
    EXPECT_EQ(calls("hangUp").size(), 1);
    EXPECT_FALSE(phase->FConnected) << "the next run looks for the connection again";
}

TEST_F(ConnectPhaseTest, ARunWaitsForThePollToFindTheDialledEntryUp)
{
    EXPECT_EQ(phase->ti_Connect.interval(), 1000);
    phase->ti_Connect.setInterval(10);
    phoneBook->addEntry("Office");
    phoneBook->addConnection("Home", TRasConnStatus());
    connectThen();
    EXPECT_EQ(started, 0) << "another entry's connection is not the run's";
    EXPECT_TRUE(phase->Pending());
    EXPECT_TRUE(status.runControls) << "Cancel can give the pending run up";
    EXPECT_EQ(status.activities, QStringList{"Dialing..."});
    EXPECT_EQ(calls("dial").size(), 1);
    ASSERT_TRUE(waitFor([&] { return started == 1; }));
    EXPECT_FALSE(phase->Pending());
    EXPECT_FALSE(phase->ti_Connect.isActive());
}

TEST_F(ConnectPhaseTest, AFailedDialSaysWhyAndCancelGivesThePendingRunUp)
{
    phoneBook->addEntry("Office");
    phoneBook->setOutcome("Office", {600, false, {}});
    phoneBook->setErrorText(600, "The line is busy");
    const QList<std::pair<QString, QString>> failures{{"Office", "Not connected"},
                                                      {"Nowhere", "Error: GetEntryDialParams failed"}};
    for (const auto &[entry, shown] : failures) {
        SCOPED_TRACE(entry.toStdString());
        settings.FDialDevice = entry;
        connectThen();
        EXPECT_EQ(status.activity, shown);
        EXPECT_FALSE(phase->FConnected);
        EXPECT_TRUE(phase->Pending());
        EXPECT_TRUE(phase->ti_Connect.isActive()) << "the poll keeps looking";
        phase->Cancel();
        EXPECT_FALSE(phase->Pending());
        EXPECT_FALSE(phase->ti_Connect.isActive());
    }
    EXPECT_EQ(started, 0);
}

} // namespace
