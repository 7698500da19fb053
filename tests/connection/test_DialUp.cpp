#include "connection/DialUp.h"

#include "connection/DialUpEventLog.h"
#include "support/InMemoryPhoneBook.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

class DialUpSync : public ::testing::Test
{
protected:
    DialUpSync() : book(new InMemoryPhoneBook), dialUp(std::unique_ptr<DialUpBackend>(book)), log(dialUp)
    {
        dialUp.setDialMode(TDialMode::dmSync);
    }

    InMemoryPhoneBook *book;
    TDialUp dialUp;
    DialUpEventLog log;
};

TEST(DialUpDefaults, NewComponentIsIdleAsynchronousAndEnglish)
{
    TDialUp dialUp(std::make_unique<InMemoryPhoneBook>());
    EXPECT_EQ(dialUp.DialMode(), TDialMode::dmAsync);
    EXPECT_EQ(dialUp.Language(), TLanguage::English);
    EXPECT_TRUE(dialUp.Entry().isEmpty());
    EXPECT_TRUE(dialUp.Entries().isEmpty());
}

TEST_F(DialUpSync, UnknownEntryFiresOnlyOnErrorInEitherMode)
{
    book->addEntry("Office");
    dialUp.setEntry("Nowhere");
    for (const TDialMode mode : {TDialMode::dmSync, TDialMode::dmAsync}) {
        dialUp.setDialMode(mode);
        log.lines.clear();
        EXPECT_EQ(dialUp.Dial(), DialUpCode::EntryNotFound);
        QCoreApplication::processEvents();
        EXPECT_EQ(log.lines, QStringList{"Error 623 GetEntryDialParams failed"});
    }
    EXPECT_FALSE(book->calls().join(',').contains("dial "));
}

TEST_F(DialUpSync, FailedDialHangsUpTheHalfOpenConnectionAndReportsNotConnected)
{
    book->addEntry("Office");
    book->setOutcome("Office", {678, true, {}});
    book->setErrorText(678, "There was no answer.");
    dialUp.setEntry("Office");

    EXPECT_EQ(dialUp.Dial(), 678);
    QCoreApplication::processEvents();
    EXPECT_EQ(log.lines, QStringList({"Dialing", "NotConnected 678 There was no answer."}));
    EXPECT_EQ(book->calls(), QStringList({"hangUp 0", "getEntryDialParams Office", "dial Office sync", "hangUp 1"}));
    EXPECT_FALSE(book->isConnected("Office"));
}

TEST_F(DialUpSync, FailedDialWithoutConnectionHangsUpNothing)
{
    book->addEntry("Office");
    book->setOutcome("Office", {651, false, {}});
    dialUp.setEntry("Office");

    EXPECT_EQ(dialUp.Dial(), 651);
    EXPECT_EQ(log.lines, QStringList({"Dialing", "NotConnected 651 Error 651"}));
    EXPECT_EQ(book->calls(), QStringList({"hangUp 0", "getEntryDialParams Office", "dial Office sync"}));
}

TEST_F(DialUpSync, SuccessfulDialConnectsAndHangUpEndsTheConnection)
{
    book->addEntry("Office");
    dialUp.setEntry("Office");

    EXPECT_EQ(dialUp.Dial(), 0);
    EXPECT_EQ(log.lines, QStringList({"Dialing", "Connect"}));
    EXPECT_TRUE(book->isConnected("Office"));

    EXPECT_EQ(dialUp.HangUp(), 0);
    EXPECT_FALSE(book->isConnected("Office"));
    // The handle stays held, and the connection behind it is gone.
    EXPECT_EQ(dialUp.HangUp(), DialUpCode::InvalidHandle);
    EXPECT_EQ(book->calls().mid(3), QStringList({"hangUp 1", "hangUp 1"}));
}

TEST_F(DialUpSync, DialHangsUpTheConnectionOfTheDialBefore)
{
    book->addEntry("Office");
    book->addEntry("Home");
    dialUp.setEntry("Office");
    ASSERT_EQ(dialUp.Dial(), 0);
    dialUp.setEntry("Home");
    ASSERT_EQ(dialUp.Dial(), 0);

    EXPECT_FALSE(book->isConnected("Office"));
    EXPECT_TRUE(book->isConnected("Home"));
    EXPECT_EQ(book->calls().mid(3, 2), QStringList({"hangUp 1", "getEntryDialParams Home"}));
}

TEST_F(DialUpSync, HangUpWithoutDialIsAnError)
{
    EXPECT_NE(dialUp.HangUp(), 0);
    EXPECT_EQ(book->calls(), QStringList{"hangUp 0"});
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(DialUpSync, EmptyPhoneBookListsNothing)
{
    EXPECT_EQ(dialUp.GetEntries(), 0);
    EXPECT_TRUE(dialUp.Entries().isEmpty());
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(DialUpSync, GetEntriesRefillsTheListInPhoneBookOrder)
{
    book->addEntry("Office");
    book->addEntry("Home");
    ASSERT_EQ(dialUp.GetEntries(), 0);
    ASSERT_EQ(dialUp.GetEntries(), 0);
    EXPECT_EQ(dialUp.Entries(), QStringList({"Office", "Home"}));
    EXPECT_EQ(log.lines, QStringList({"EntryGet Office", "EntryGet Home", "EntryGet Office", "EntryGet Home"}));
}

TEST_F(DialUpSync, FailedListingLeavesEntriesEmptyAndFiresNothing)
{
    book->addEntry("Office");
    ASSERT_EQ(dialUp.GetEntries(), 0);
    log.lines.clear();

    book->setEnumEntriesResult(DialUpCode::ServiceUnavailable);
    EXPECT_EQ(dialUp.GetEntries(), DialUpCode::ServiceUnavailable);
    EXPECT_TRUE(dialUp.Entries().isEmpty());
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(DialUpSync, ListingHoldsAtMostOneHundredEntries)
{
    for (int i = 0; i < TDialUp::MaxListed; ++i)
        book->addEntry(QString::number(i));
    EXPECT_EQ(dialUp.GetEntries(), 0);
    EXPECT_EQ(dialUp.Entries().size(), TDialUp::MaxListed);

    book->addEntry("one too many");
    log.lines.clear();
    EXPECT_EQ(dialUp.GetEntries(), DialUpCode::BufferTooSmall);
    EXPECT_TRUE(dialUp.Entries().isEmpty());
    EXPECT_TRUE(log.lines.isEmpty());
}

TEST_F(DialUpSync, GetConnectionsReportsEachConnectionWithItsStatusText)
{
    book->setErrorText(DialUpCode::InvalidHandle, "The port handle is invalid.");
    book->addConnection("Office", {DialUpState::Connected, 0, "modem", "US Robotics"});
    book->addConnection("Home", {DialUpState::ConnectDevice, 0, "isdn", "Card"}, DialUpCode::InvalidHandle);
    book->addConnection("Lab", {5, 0, "vpn", "Tunnel"});
    dialUp.setLanguage(TLanguage::Czech);

    EXPECT_EQ(dialUp.GetConnections(), 0);
    // The status that could not be read is not the one of the connection before.
    EXPECT_EQ(log.lines, QStringList({
                             "ActiveConnection 1 Office 8192/0 [Spojeno] modem US Robotics",
                             "ActiveConnection 2 Home 0/6 [The port handle is invalid.] isdn Card",
                             QString::fromUtf8("ActiveConnection 3 Lab 5/0 [Začínají se ověřovat uživatelské "
                                               "informace] vpn Tunnel"),
                         }));
}

TEST_F(DialUpSync, GetConnectionsFailureFiresNothing)
{
    book->addConnection("Office", {DialUpState::Connected, 0, "modem", "US Robotics"});
    book->setEnumConnectionsResult(DialUpCode::ServiceUnavailable);
    EXPECT_EQ(dialUp.GetConnections(), DialUpCode::ServiceUnavailable);
    EXPECT_TRUE(log.lines.isEmpty());

    book->setEnumConnectionsResult(DialUpCode::Success);
    EXPECT_EQ(dialUp.GetConnections(), 0);
    EXPECT_EQ(log.lines.size(), 1);
}

TEST_F(DialUpSync, StatusTextByLanguageAndError)
{
    book->setErrorText(691, "Access denied because the user name or password is not valid.");
    EXPECT_EQ(dialUp.StatusText(5, 0), "Start authenticating");
    EXPECT_EQ(dialUp.StatusText(8193, 0), "Disconnected");
    EXPECT_EQ(dialUp.StatusText(4099, 0), "Password expired");
    EXPECT_EQ(dialUp.StatusText(99, 0), "");
    EXPECT_EQ(dialUp.StatusText(0, 691), "Access denied because the user name or password is not valid.");

    dialUp.setLanguage(TLanguage::Czech);
    EXPECT_EQ(dialUp.StatusText(8192, 0), "Spojeno");
    EXPECT_EQ(dialUp.StatusText(1, 0), QString::fromUtf8("Port otev\u0159en"));
    EXPECT_EQ(dialUp.StatusText(4098, 0), QString::fromUtf8("Zpe\u011btn\u00e9 vol\u00e1n\u00ed zvoleno u\u017eivatelem"));
    EXPECT_EQ(dialUp.StatusText(21, 0), QString::fromUtf8("P\u0159ipojuje se na s\u00ed\u0165"));
    EXPECT_EQ(dialUp.StatusText(22, 0), "");
    EXPECT_EQ(dialUp.StatusText(99, 0), "");
    // An error wins over any state, in either language.
    EXPECT_EQ(dialUp.StatusText(8192, 691), "Access denied because the user name or password is not valid.");
}

TEST_F(DialUpSync, EveryKnownStateHasTextsInBothLanguages)
{
    const qint32 states[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,    10,   11,   12,   13,  14,
                             15, 16, 17, 18, 19, 20, 21, 4096, 4097, 4098, 4099, 8192, 8193};
    for (const qint32 state : states) {
        dialUp.setLanguage(TLanguage::English);
        const QString english = dialUp.StatusText(state, 0);
        dialUp.setLanguage(TLanguage::Czech);
        const QString czech = dialUp.StatusText(state, 0);
        EXPECT_FALSE(english.isEmpty()) << state;
        EXPECT_FALSE(czech.isEmpty()) << state;
        EXPECT_NE(english, czech) << state;
    }
}

}
