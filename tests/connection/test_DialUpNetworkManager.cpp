#include "connection/DialUp.h"
#include "connection/NetworkManagerBackend.h"

#include "connection/DialUpEventLog.h"
#include "connection/FakeNetworkManager.h"
#include "support/PrivateBus.h"

#include <QCoreApplication>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString unavailable = QStringLiteral("Network manager not available");

void expectEveryCallUnavailable(TDialUp &dialUp)
{
    DialUpEventLog log(dialUp);
    EXPECT_EQ(dialUp.GetEntries(), DialUpCode::ServiceUnavailable);
    EXPECT_TRUE(dialUp.Entries().isEmpty());
    EXPECT_EQ(dialUp.GetConnections(), DialUpCode::ServiceUnavailable);
    EXPECT_TRUE(log.lines.isEmpty());

    dialUp.setEntry("Office");
    for (const TDialMode mode : {TDialMode::dmSync, TDialMode::dmAsync}) {
        dialUp.setDialMode(mode);
        log.lines.clear();
        EXPECT_EQ(dialUp.Dial(), DialUpCode::ServiceUnavailable);
        QCoreApplication::processEvents();
        EXPECT_EQ(log.lines, QStringList{"Error 711 GetEntryDialParams failed"});
    }
    EXPECT_NE(dialUp.HangUp(), 0);
    EXPECT_EQ(dialUp.StatusText(0, DialUpCode::ServiceUnavailable), unavailable);
}

TEST(NetworkManagerUnavailable, WithoutABusEveryCallFails)
{
    const QDBusConnection noBus =
        QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/corvane-bus"), "corvane-no-bus");
    ASSERT_FALSE(noBus.isConnected());
    {
        NetworkManagerBackend backend(noBus);
        quint32 handle = 0;
        TRasConnStatus status;
        EXPECT_EQ(backend.dial({"Office", "/org/freedesktop/NetworkManager/Settings/1"}, {}, handle),
                  DialUpCode::ServiceUnavailable);
        EXPECT_EQ(handle, 0u);
        EXPECT_EQ(backend.hangUp(3), DialUpCode::ServiceUnavailable);
        EXPECT_EQ(backend.getConnectStatus(3, status), DialUpCode::ServiceUnavailable);
        EXPECT_EQ(backend.errorString(DialUpCode::ServiceUnavailable), unavailable);
    }
    TDialUp dialUp(std::make_unique<NetworkManagerBackend>(noBus));
    expectEveryCallUnavailable(dialUp);
    QDBusConnection::disconnectFromBus("corvane-no-bus");
}

TEST(NetworkManagerUnavailable, OnABusWithoutNetworkManagerEveryCallFails)
{
    PrivateBus bus;
    if (bus.address().isEmpty())
        GTEST_SKIP() << bus.error().toStdString();
    {
        TDialUp dialUp(std::make_unique<NetworkManagerBackend>(QDBusConnection::connectToBus(bus.address(), "empty")));
        expectEveryCallUnavailable(dialUp);
    }
    QDBusConnection::disconnectFromBus("empty");
}

TEST(NetworkManagerUnavailable, DefaultComponentOnTheSystemBus)
{
    TDialUp dialUp;
    if (dialUp.GetEntries() == 0)
        GTEST_SKIP() << "NetworkManager runs on this machine";
    expectEveryCallUnavailable(dialUp);
}

class NetworkManagerDialUp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (bus.address().isEmpty())
            GTEST_SKIP() << bus.error().toStdString();
        networkManager = std::make_unique<FakeNetworkManager>(bus.address());
        ASSERT_TRUE(networkManager->isRegistered());
        dialUp = std::make_unique<TDialUp>(
            std::make_unique<NetworkManagerBackend>(QDBusConnection::connectToBus(bus.address(), clientName)));
        log = std::make_unique<DialUpEventLog>(*dialUp);
        dialUp->setDialMode(TDialMode::dmSync);
        dialUp->setEntry("Office");
    }

    void TearDown() override
    {
        dialUp.reset();
        QDBusConnection::disconnectFromBus(clientName);
    }

    bool waitForLines(int count)
    {
        return QTest::qWaitFor([&] { return log->lines.size() >= count; }, 10000);
    }

    const QString clientName = QStringLiteral("corvane-dialup-client");
    PrivateBus bus;
    std::unique_ptr<FakeNetworkManager> networkManager;
    std::unique_ptr<TDialUp> dialUp;
    std::unique_ptr<DialUpEventLog> log;
};

TEST_F(NetworkManagerDialUp, ProfilesAreTheEntries)
{
    networkManager->addProfile("Office");
    networkManager->addProfile("Home");
    EXPECT_EQ(dialUp->GetEntries(), 0);
    EXPECT_EQ(dialUp->Entries(), QStringList({"Office", "Home"}));
    EXPECT_EQ(log->lines, QStringList({"EntryGet Office", "EntryGet Home"}));
}

TEST_F(NetworkManagerDialUp, SynchronousDialWaitsUntilActivatedAndHangUpDeactivates)
{
    networkManager->addProfile("Home");
    networkManager->addProfile("Office", {1, 1, 1, 2});
    EXPECT_EQ(dialUp->Dial(), 0);
    EXPECT_EQ(log->lines, QStringList({"Dialing", "Connect"}));
    EXPECT_EQ(networkManager->activeIds(), QStringList{"Office"});

    EXPECT_EQ(dialUp->HangUp(), 0);
    EXPECT_TRUE(networkManager->activeIds().isEmpty());
    EXPECT_EQ(networkManager->calls(), QStringList({"ActivateConnection Office",
                                                    "DeactivateConnection /org/freedesktop/NetworkManager/"
                                                    "ActiveConnection/1"}));
    // A second hang-up has nothing left to hang up, and asks nobody to.
    EXPECT_EQ(dialUp->HangUp(), DialUpCode::InvalidHandle);
    EXPECT_EQ(networkManager->calls().size(), 2);
}

TEST_F(NetworkManagerDialUp, AProfileThatCannotBeReadIsNoEntryAndTheOthersStillAre)
{
    networkManager->addProfile("Home");
    networkManager->addProfile("Neighbour");
    networkManager->addProfile("Office");
    networkManager->makeUnreadable("Neighbour");
    EXPECT_EQ(dialUp->GetEntries(), 0);
    EXPECT_EQ(dialUp->Entries(), QStringList({"Home", "Office"}));
    EXPECT_EQ(dialUp->Dial(), 0) << "once every entry failed with the one unreadable profile";
    EXPECT_EQ(networkManager->activeIds(), QStringList{"Office"});
    dialUp->setEntry("Neighbour");
    EXPECT_EQ(dialUp->Dial(), DialUpCode::EntryNotFound);
}

TEST_F(NetworkManagerDialUp, AfterNetworkManagerRestartedTheOldHandleHangsUpNothingElse)
{
    networkManager->addProfile("Office");
    networkManager->addProfile("Lan");
    EXPECT_EQ(dialUp->Dial(), 0);
    // Counting afresh, the first connection after the restart has the
    // number the dial-up connection had.
    networkManager->restart();
    EXPECT_EQ(networkManager->addActive("Lan", 2), 1u);
    EXPECT_EQ(dialUp->HangUp(), DialUpCode::NotConnected);
    EXPECT_EQ(networkManager->activeIds(), QStringList{"Lan"});
    EXPECT_FALSE(networkManager->calls().join(' ').contains("DeactivateConnection"));
}

TEST_F(NetworkManagerDialUp, AConnectionThatHasEndedIsNotHungUpAgain)
{
    networkManager->addProfile("Office");
    EXPECT_EQ(dialUp->Dial(), 0);
    networkManager->dropActive(1);
    EXPECT_EQ(dialUp->HangUp(), DialUpCode::NotConnected);
    EXPECT_EQ(dialUp->StatusText(0, DialUpCode::NotConnected), "The connection could not be brought up or has ended");
    EXPECT_EQ(networkManager->calls(), QStringList{"ActivateConnection Office"});
}

TEST_F(NetworkManagerDialUp, AListedConnectionIsHungUpByThePathItWasListedWith)
{
    networkManager->addProfile("Office");
    networkManager->addActive("Office", 2);
    NetworkManagerBackend backend(QDBusConnection::connectToBus(bus.address(), clientName));
    QList<DialUpConnection> listed;
    ASSERT_EQ(backend.enumConnections(listed), 0);
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(backend.hangUp(listed.first().handle + 1), DialUpCode::InvalidHandle) << "a handle never given out";
    EXPECT_EQ(backend.hangUp(listed.first().handle), 0);
    EXPECT_EQ(networkManager->calls(),
              QStringList{"DeactivateConnection /org/freedesktop/NetworkManager/ActiveConnection/1"});
    EXPECT_TRUE(networkManager->activeIds().isEmpty());
}

TEST_F(NetworkManagerDialUp, FailedActivationIsHungUpAndReported)
{
    networkManager->addProfile("Office", {1, 4});
    EXPECT_EQ(dialUp->Dial(), DialUpCode::NotConnected);
    EXPECT_EQ(log->lines, QStringList({"Dialing", "NotConnected 668 The connection could not be brought up or "
                                                  "has ended"}));
    // NetworkManager has dropped it already: there is nothing to hang up.
    EXPECT_EQ(networkManager->calls(), QStringList{"ActivateConnection Office"});
    EXPECT_TRUE(networkManager->activeIds().isEmpty());
}

TEST_F(NetworkManagerDialUp, ActivationThatVanishesHasFailed)
{
    networkManager->addProfile("Office", {1, FakeNetworkManager::Vanished});
    EXPECT_EQ(dialUp->Dial(), DialUpCode::NotConnected);
    EXPECT_EQ(log->lines.value(1).left(16), "NotConnected 668");
}

TEST_F(NetworkManagerDialUp, RefusedActivationCarriesNetworkManagersText)
{
    const QString text = "Connection 'Office' is not available on device ttyUSB0 because device has no carrier";
    networkManager->addProfile("Office");
    networkManager->refuseActivation("Office", "org.freedesktop.NetworkManager.UnknownConnection", text);

    EXPECT_EQ(dialUp->Dial(), DialUpCode::Refused);
    dialUp->setDialMode(TDialMode::dmAsync);
    EXPECT_EQ(dialUp->Dial(), DialUpCode::Refused);
    QCoreApplication::processEvents();
    EXPECT_EQ(log->lines, QStringList({"Dialing", "NotConnected 743 " + text, "Dialing", "Error 743 " + text}));
}

TEST_F(NetworkManagerDialUp, UnknownProfileIsNotDialled)
{
    networkManager->addProfile("Home");
    EXPECT_EQ(dialUp->Dial(), DialUpCode::EntryNotFound);
    EXPECT_EQ(log->lines, QStringList{"Error 623 GetEntryDialParams failed"});
    EXPECT_TRUE(networkManager->calls().isEmpty());
}

TEST_F(NetworkManagerDialUp, AsynchronousDialReportsEachStateInOrder)
{
    networkManager->addProfile("Office", {1, 1, 2});
    networkManager->addProfile("Home", {1, FakeNetworkManager::Vanished});
    dialUp->setDialMode(TDialMode::dmAsync);
    EXPECT_EQ(dialUp->Dial(), 0);
    ASSERT_TRUE(waitForLines(4));
    EXPECT_EQ(log->lines, QStringList({"Dialing", "AsyncEvent 0 0 Opening port", "AsyncEvent 2 0 Connecting device",
                                       "AsyncEvent 8192 0 Connected"}));

    log->lines.clear();
    dialUp->setEntry("Home");
    EXPECT_EQ(dialUp->Dial(), 0);
    ASSERT_TRUE(waitForLines(4));
    EXPECT_EQ(log->lines, QStringList({"Dialing", "AsyncEvent 0 0 Opening port", "AsyncEvent 2 0 Connecting device",
                                       "AsyncEvent 8193 668 The connection could not be brought up or has ended"}));
    // The dial of Office was hung up before Home was dialled.
    EXPECT_TRUE(networkManager->activeIds().isEmpty());
}

TEST_F(NetworkManagerDialUp, ComponentGoesAwayDuringAnAsynchronousDial)
{
    networkManager->addProfile("Office", {1});
    dialUp->setDialMode(TDialMode::dmAsync);
    EXPECT_EQ(dialUp->Dial(), 0);
    ASSERT_TRUE(waitForLines(3));
    // Stops the thread that follows the activation, which would poll for long.
    dialUp.reset();
    EXPECT_EQ(log->lines.last(), "AsyncEvent 2 0 Connecting device");
}

TEST_F(NetworkManagerDialUp, ActiveConnectionsWithTheirStatus)
{
    networkManager->addActive("Office", 2);
    networkManager->addActive("Home", 1);
    dialUp->setLanguage(TLanguage::Czech);
    EXPECT_EQ(dialUp->GetConnections(), 0);
    EXPECT_EQ(log->lines, QStringList({QString::fromUtf8("ActiveConnection 1 Office 8192/0 [Spojeno] gsm ppp0"),
                                       QString::fromUtf8("ActiveConnection 2 Home 2/0 [Prob\u00edh\u00e1 "
                                                         "spojov\u00e1n\u00ed] gsm ppp0")}));
}

}
