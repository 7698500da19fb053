#include "addressbook/TF_Suppression.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Replies.h"
#include "send/UnsubscribeSecret.h"
#include "send/UnsubscribeToken.h"
#include "store/SuppressionList.h"
#include "support/Accessibility.h"
#include "support/MailFolderWriter.h"
#include "support/MainWindowFixture.h"
#include "support/MemorySecretStore.h"
#include "support/RealSmtpServer.h"
#include "transport/MessageIds.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

// "Process replies..." as a new user meets it: from the menu, a folder saved
// by a mail client with a bounce and an unsubscribe request, read while the
// window stays live, and OK suppresses both.

namespace MF = MailFolderWriter;

namespace {

const QByteArray Secret(UnsubscribeToken::SecretBytes, 'k');

class ReplyWindowTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        session->SmtpLogin().setStore(std::make_unique<MemorySecretStore>(vault));
        vault->secrets.insert(UnsubscribeSecret::KeyFor(dm->StoreIdentity()), QString::fromLatin1(Secret.toHex()));
        numbers = MF::addMembers(*dm, "Club", {"ann@example.org", "bob@example.org", "cid@example.org"});
    }

    TF_Replies *openWindow()
    {
        menuAction("ProcessReplies1")->trigger();
        TF_Replies *window = mdi->F_Replies;
        EXPECT_NE(window, nullptr);
        return window;
    }
    QStringList foundAddresses(TF_Replies &w)
    {
        QStringList addresses;
        for (int r = 0; r < w.gr_Found->rowCount(); ++r)
            addresses << w.gr_Found->item(r, 0)->text() + " " + w.gr_Found->item(r, 1)->text() + " "
                             + w.gr_Found->item(r, 2)->text();
        return addresses;
    }

    std::shared_ptr<MemorySecretStore::Vault> vault = std::make_shared<MemorySecretStore::Vault>();
    QList<qint64> numbers;
    const UnsubscribeToken tokens{Secret};
};

TEST_F(ReplyWindowTest, BounceAndRequestFromASavedFolderAreShownThenSuppressedOnOk)
{
    const QString token = tokens.make(numbers[0], "ann@example.org");
    const QString path = folder.file("Inbox");
    ASSERT_TRUE(
        MF::writeMbox(path, {MF::unsubscribeRequest("Ann <ann@example.org>", token),
                             MF::bounce("cid@example.org", "5.1.1", TMessageIds("me@example.com").forMessage(3)),
                             MF::bounce("bob@example.org", "5.2.2"), MF::ordinary("friend@example.net", "Lunch?")}));
    TF_Replies *w = openWindow();
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "Process replies");
    EXPECT_FALSE(w->bu_Ok->isEnabled());
    w->chooseMboxFile = [&] { return path; };
    w->bu_File->click();
    EXPECT_EQ(w->ed_Folder->text(), path);
    w->bu_Read->click();
    EXPECT_TRUE(w->Reading()) << "the click returns before the folder is read: the window stays live";
    ASSERT_TRUE(waitFor([&] { return !w->Reading(); }));
    EXPECT_EQ(foundAddresses(*w),
              QStringList({"ann@example.org unsubscribe token", "cid@example.org hard bounce address"}));
    EXPECT_EQ(w->la_Progress->text(), "Read 4 messages: 2 addresses to suppress, 2 lines skipped.");
    EXPECT_TRUE(w->mo_Skipped->toPlainText().contains("5.2.2, the mailbox is full"));
    EXPECT_TRUE(w->bu_Ok->isEnabled());
    expectAccessibleNames(w);
    EXPECT_TRUE(TSuppressionList(dm->Databas).Rows().isEmpty()) << "nothing before OK";

    w->bu_Ok->click();
    EXPECT_EQ(prompts.texts(), QStringList({"2 addresses suppressed."}));
    const TSuppressionList list(dm->Databas);
    EXPECT_EQ(list.ReasonFor("ann@example.org"), "unsubscribed");
    EXPECT_EQ(list.ReasonFor("cid@example.org"), "hard bounce");
    EXPECT_FALSE(list.Contains("bob@example.org"));
    EXPECT_TRUE(waitFor([&] { return mdi->F_Replies.isNull(); })) << "OK closes the window";
}

// What the user wants of it: the next run leaves out both addresses.
TEST_F(ReplyWindowTest, TheNextRunThroughTheWindowSkipsTheAddressesProcessed)
{
    const QString path = folder.file("Inbox");
    ASSERT_TRUE(MF::writeMbox(path, {MF::unsubscribeRequest("Ann <ann@example.org>",
                                                            tokens.make(numbers[0], "ann@example.org")),
                                     MF::bounce("cid@example.org", "5.1.1")}));
    TF_Replies *w = openWindow();
    ASSERT_NE(w, nullptr);
    w->ed_Folder->setText(path);
    w->bu_Read->click();
    ASSERT_TRUE(waitFor([&] { return !w->Reading(); }));
    w->bu_Ok->click();
    ASSERT_TRUE(waitFor([&] { return mdi->F_Replies.isNull(); }));

    RealSmtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    folder.writeFile("CORVAN.INI", "[DATABAS]\r\nVERSION=1\r\n[SMTP]\r\nSERVER=127.0.0.1\r\nPORT="
                                       + QByteArray::number(server.port())
                                       + "\r\n[PERSONAL]\r\nNAME=Me\r\nEMAIL=me@example.com\r\n");
    session->LoadSettings();
    TF_NewMsg *message = openMessageTo("Club");
    ASSERT_NE(message, nullptr);
    message->e_subject->setText("News");
    message->mo_Message->setPlainText("Hello");
    const QStringList results = sendAndReadResults();
    EXPECT_EQ(server.recipientsTried(), QStringList({"bob@example.org"}));
    EXPECT_FALSE(results.filter("ann@example.org").isEmpty()) << results.join('\n').toStdString();
    EXPECT_FALSE(results.filter("cid@example.org").isEmpty()) << "the results name whom the run left out";
}

TEST_F(ReplyWindowTest, CancelSuppressesNobodyAndAFolderThatCannotBeReadSaysWhy)
{
    TF_Replies *w = openWindow();
    ASSERT_NE(w, nullptr);
    w->bu_Read->click();
    EXPECT_EQ(prompts.texts(), QStringList({"Choose the mail folder to read first!"}));

    w->ed_Folder->setText(folder.file("nothing here"));
    w->bu_Read->click();
    EXPECT_FALSE(w->Reading());
    EXPECT_TRUE(w->mo_Skipped->toPlainText().contains("nothing here"));
    EXPECT_FALSE(w->bu_Ok->isEnabled());

    const QString maildir = folder.file("Maildir");
    ASSERT_TRUE(MF::writeMaildir(maildir, {MF::bounce("bob@example.org")}));
    w->chooseMaildir = [&] { return maildir; };
    w->bu_Maildir->click();
    w->bu_Read->click();
    ASSERT_TRUE(waitFor([&] { return !w->Reading(); }));
    EXPECT_EQ(w->gr_Found->rowCount(), 1);
    w->bu_Cancel->click();
    EXPECT_TRUE(waitFor([&] { return mdi->F_Replies.isNull(); }));
    EXPECT_EQ(TSuppressionList(dm->Databas).Count(), 0);
}

TEST_F(ReplyWindowTest, SuppressionListIsReachedFromTheMenuToo)
{
    menuAction("Suppression1")->trigger();
    ASSERT_NE(mdi->F_Suppression, nullptr);
    EXPECT_EQ(mdi->mdiArea()->currentSubWindow()->widget(), mdi->F_Suppression.data());
}

} // namespace
