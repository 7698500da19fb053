#include "support/MainWindowFixture.h"
#include "send/GroupSend.h"
#include "support/InMemoryPhoneBook.h"
#include "widgets/StatusBar.h"

#include <QToolButton>
#include <gtest/gtest.h>
#include <vector>

namespace {

// A session over in-memory phone books, one per dial-up component, shown by
// the main window: the first book is the run's.
class MailerSessionTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        StoreSetup::addGroup(*dm, "Friends", {"anna@example.org", "bo@example.org"});
    }

    TMailerSession::DialUpBackendFactory dialUpBackends() override
    {
        return [this]() -> std::unique_ptr<DialUpBackend> {
            auto book = std::make_unique<InMemoryPhoneBook>();
            book->addEntry("Office");
            InMemoryPhoneBook::DialOutcome noAnswer;
            noAnswer.result = 678;
            book->setOutcome("Office", noAnswer);
            books.push_back(book.get());
            return book;
        };
    }

    // A run that dials "Office", which does not answer: the run waits for
    // the connection until Cancel.
    void useTheModem()
    {
        folder.writeFile("CORVAN.INI", "[DATABAS]\r\nVERSION=1\r\n[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=25\r\n"
                                       "[PERSONAL]\r\nNAME=Ann\r\nEMAIL=ann@example.org\r\n"
                                       "[DIALUP]\r\nMODEM=1\r\nDEVICE=Office\r\nLAN=0\r\n");
        session->LoadSettings();
    }

    void sendToFriends()
    {
        ASSERT_NE(openMessageTo("Friends"), nullptr);
        button("bu_SendGrpMail")->click();
    }

    // The run's dialling shows on the main window (at the pace of a
    // screen), whose Cancel gives it up.
    void expectTheRunShownAndCancelled()
    {
        EXPECT_TRUE(session->GroupSend().Busy()) << "waiting for the connection";
        EXPECT_TRUE(waitFor([&] { return mdi->smtpstatus()->panelText(0) == "Not connected"; }))
            << mdi->smtpstatus()->panelText(0).toStdString();
        QToolButton *stop = button("bu_Stop");
        ASSERT_TRUE(stop->isVisible());
        ASSERT_TRUE(stop->isEnabled());
        stop->click();
        EXPECT_FALSE(session->GroupSend().Busy());
        EXPECT_TRUE(waitFor([&] { return mdi->smtpstatus()->panelText(0) == "Operation aborted"; }))
            << mdi->smtpstatus()->panelText(0).toStdString();
        EXPECT_FALSE(stop->isVisible());
        menuAction("Groupsend1")->trigger();
        EXPECT_TRUE(button("bu_SendGrpMail")->isEnabled()) << "ready for the next run";
    }

    std::vector<InMemoryPhoneBook *> books;
};

TEST_F(MailerSessionTest, ReadsItsSettingsWhenCreatedAndWhenAskedAgain)
{
    EXPECT_EQ(session->Settings.FSmtpServer, "Enter SMTP Server");
    folder.writeFile("CORVAN.INI", "[DATABAS]\r\nVERSION=1\r\n[SMTP]\r\nSERVER=mail.example.org\r\n");
    EXPECT_EQ(session->Settings.FSmtpServer, "Enter SMTP Server") << "read once, not on every use";
    TMailerSession second(*dm, folder.path(), dialUpBackends());
    EXPECT_EQ(second.Settings.FSmtpServer, "mail.example.org");
    session->LoadSettings();
    EXPECT_EQ(session->Settings.FSmtpServer, "mail.example.org");
}

TEST_F(MailerSessionTest, EveryDialUpComponentHasAPhoneBookOfItsOwn)
{
    ASSERT_EQ(books.size(), 1u) << "the run's, made with the session";
    const std::unique_ptr<DialUpBackend> forAWindow = session->CreateDialUpBackend();
    ASSERT_EQ(books.size(), 2u);
    EXPECT_EQ(forAWindow.get(), books[1]);
    EXPECT_NE(books[1], books[0]);
}

TEST_F(MailerSessionTest, TheRunDialsThroughTheSessionsPhoneBookAndShowsOnTheMainWindow)
{
    useTheModem();
    sendToFriends();
    EXPECT_TRUE(books[0]->calls().contains("dial Office sync")) << books[0]->calls().join(", ").toStdString();
    expectTheRunShownAndCancelled();
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(MailerSessionTest, AMainWindowOpenedAfterAnotherShowsTheRunOnItself)
{
    mdi.reset();
    mdi = std::make_unique<TF_Mdi>(*session);
    mdi->show();
    ASSERT_TRUE(waitFor([&] { return mdi->isVisible(); }));
    useTheModem();
    sendToFriends();
    expectTheRunShownAndCancelled();
}

}
