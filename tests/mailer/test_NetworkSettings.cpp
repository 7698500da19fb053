#include "support/Accessibility.h"
#include "support/InMemoryPhoneBook.h"
#include "support/MemorySecretStore.h"
#include "connection/NetworkManagerBackend.h"
#include "platform/ProfileIni.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "mailer/MailerSession.h"
#include "mailer/TF_Mdi.h"
#include "mailer/TF_Network.h"
#include "support/TempProgramFolder.h"
#include "support/UnreadableFile.h"
#include "support/WaitFor.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QByteArray filledIni = "[DATABAS]\r\nVERSION=1\r\n\r\n"
                             "[SMTP]\r\nSERVER=mail.example.org\r\nPORT=2525\r\n\r\n"
                             "[PERSONAL]\r\nNAME=Ann Berg\r\nEMAIL=ann@example.org\r\n\r\n"
                             "[DIALUP]\r\nMODEM=1\r\nAUTOC=1\r\nDISCO=0\r\nDEVICE=Office\r\nLAN=0\r\n";

class NetworkSettingsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        session = std::make_unique<TMailerSession>(*dm, folder.path(), [this] { return dialUpBackend(); });
        session->SmtpLogin().setStore(std::make_unique<MemorySecretStore>(vault));
        mdi = std::make_unique<TF_Mdi>(*session);
        mdi->show();
        ASSERT_TRUE(waitFor([&] { return mdi->isVisible(); }));
    }

    // The store has left its version key in the file; these tests start
    // from the settings they name.
    void useSettingsFile(const QByteArray &content) { folder.writeFile("CORVAN.INI", content); }
    void removeSettingsFile() { ASSERT_TRUE(QFile::remove(folder.file("CORVAN.INI"))); }

    QAction *networkSettingsCommand() const { return mdi->menuBar()->findChild<QAction *>("NetworkSettings1"); }

    TF_Network *openDialog()
    {
        networkSettingsCommand()->trigger();
        QMdiSubWindow *sub = mdi->mdiArea()->currentSubWindow();
        dialog = sub ? qobject_cast<TF_Network *>(sub->widget()) : nullptr;
        EXPECT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog && waitFor([&] { return dialog->isVisible(); }));
        return dialog;
    }

    bool dialogCloses()
    {
        return waitFor([&] { return dialog.isNull() && mdi->mdiArea()->subWindowList().isEmpty(); });
    }

    QString ini(const QString &section, const QString &key) const
    {
        return ProfileIni(folder.file("CORVAN.INI")).readString(section, key, "<missing>");
    }

    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    static bool modemControlsEnabled(TF_Network *d)
    {
        return d->ch_AutoConnect()->isEnabled() && d->ch_Disconnect()->isEnabled() && d->co_Device()->isEnabled();
    }
    static bool modemControlsDisabled(TF_Network *d)
    {
        return !d->ch_AutoConnect()->isEnabled() && !d->ch_Disconnect()->isEnabled() && !d->co_Device()->isEnabled();
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::shared_ptr<MemorySecretStore::Vault> vault = std::make_shared<MemorySecretStore::Vault>();
    QStringList entries;
    qint32 enumEntriesResult = DialUpCode::Success;
    InMemoryPhoneBook *phoneBook = nullptr;
    // Where the windows reach the phone book: the entries above, unless a
    // test gives another backend.
    TMailerSession::DialUpBackendFactory dialUpBackend = [this]() -> std::unique_ptr<DialUpBackend> {
        auto book = std::make_unique<InMemoryPhoneBook>();
        for (const QString &entry : std::as_const(entries))
            book->addEntry(entry);
        book->setEnumEntriesResult(enumEntriesResult);
        phoneBook = book.get();
        return book;
    };
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TMailerSession> session;
    std::unique_ptr<TF_Mdi> mdi;
    QPointer<TF_Network> dialog;
};

QLabel *buddyLabelOf(QWidget *root, QWidget *input)
{
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (label->buddy() == input)
            return label;
    }
    return nullptr;
}

TEST_F(NetworkSettingsTest, WithoutASettingsFileShowsTheDialogDefaults)
{
    removeSettingsFile();
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), "Corvane 98 configuration");
    EXPECT_EQ(d->parentWidget()->windowTitle(), "Corvane 98 configuration");
    EXPECT_EQ(d->PageControl()->count(), 3);
    EXPECT_EQ(d->PageControl()->tabText(0), "&Mail setup");
    EXPECT_EQ(d->PageControl()->tabText(1), "&Connection");
    EXPECT_EQ(d->PageControl()->tabText(2), "&Sign-in");
    EXPECT_EQ(d->co_Login()->currentText(), "Password");
    EXPECT_EQ(d->ed_Server()->text(), "");
    EXPECT_EQ(d->ed_Port()->text(), "smtp");
    EXPECT_EQ(d->ed_Name()->text(), "");
    EXPECT_EQ(d->ed_EMail()->text(), "");
    EXPECT_EQ(d->co_Device()->currentText(), "None");
    EXPECT_TRUE(d->rb_Permanent()->isChecked());
    EXPECT_FALSE(d->rb_Modem()->isChecked());
    EXPECT_FALSE(d->ch_AutoConnect()->isChecked());
    EXPECT_FALSE(d->ch_Disconnect()->isChecked());
    EXPECT_TRUE(modemControlsDisabled(d));
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_FALSE(QFile::exists(folder.file("CORVAN.INI"))) << "only OK writes the file";
}

TEST_F(NetworkSettingsTest, ControlsAreLabelledNamedAndHinted)
{
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    expectAccessibleNames(d);
    const QList<std::pair<QWidget *, QString>> labelled{{d->ed_Server(), "Mail server:"},
                                                         {d->ed_Port(), "Port:"},
                                                         {d->co_Security(), "Security:"},
                                                         {d->ed_User(), "User name:"},
                                                         {d->ed_Password(), "Password:"},
                                                         {d->ed_RateCount(), "Send at most"},
                                                         {d->ed_RateMinutes(), "messages per"},
                                                         {d->ed_Name(), "Your name:"},
                                                         {d->ed_EMail(), "Email address:"},
                                                         {d->co_Device(), "Dialup device"}};
    for (const auto &[input, caption] : labelled) {
        QLabel *label = buddyLabelOf(d, input);
        ASSERT_NE(label, nullptr) << caption.toStdString();
        EXPECT_EQ(label->text(), caption);
        EXPECT_EQ(input->accessibleName(), caption);
    }
    EXPECT_EQ(buddyLabelOf(d, d->ed_Server())->toolTip(), "Host name or IP address of SMTP server");
    EXPECT_EQ(buddyLabelOf(d, d->ed_Port())->toolTip(), "Host name or IP address of SMTP server");
    EXPECT_EQ(buddyLabelOf(d, d->ed_EMail())->toolTip(), "Return address to use when sending SMTP mail");
    EXPECT_EQ(d->rb_Modem()->text(), "I'm using a modem (or other dialup device)");
    EXPECT_EQ(d->rb_Permanent()->text(), "I'm using a permanent internet connection (LAN)");
    EXPECT_EQ(d->ch_AutoConnect()->text(), "Autoconnect to dialup device");
    EXPECT_EQ(d->ch_Disconnect()->text(), "Disconnect when finish sending");
    EXPECT_EQ(d->bu_Ok()->text(), "OK");
    EXPECT_EQ(d->bu_Cancel()->text(), "Cancel");
    EXPECT_TRUE(d->co_Device()->isEditable());
    EXPECT_EQ(d->ed_Password()->echoMode(), QLineEdit::Password) << "a password shows no text";
    for (QWidget *input : {static_cast<QWidget *>(d->co_Security()), static_cast<QWidget *>(d->ed_User()),
                           static_cast<QWidget *>(d->ed_Password())})
        EXPECT_EQ(input->parentWidget()->objectName(), d->ed_Server()->parentWidget()->objectName())
            << "in the \"SMTP Server\" box";
}

// Where unsubscribe mails go (the user's own address while empty) and the
// one-click page: read, written, and refused with the reason and the focus
// on the field at fault, nothing written.
TEST_F(NetworkSettingsTest, TheUnsubscribeSettingsAreCheckedBeforeAnythingIsWritten)
{
    useSettingsFile(filledIni + "\r\n[UNSUBSCRIBE]\r\nMAILTO=\r\nURL=https://example.org/u?t={token}\r\n");
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    mdi->activateWindow();
    EXPECT_EQ(d->ed_UnsubscribeMailto()->text(), "");
    EXPECT_EQ(d->ed_UnsubscribeMailto()->placeholderText(), "ann@example.org") << "the address used while empty";
    EXPECT_EQ(d->ed_UnsubscribeUrl()->text(), "https://example.org/u?t={token}");
    d->ed_EMail()->setText("berg@example.org");
    EXPECT_EQ(d->ed_UnsubscribeMailto()->placeholderText(), "berg@example.org");

    d->ed_UnsubscribeUrl()->setText("http://example.org/u?t={token}");
    d->PageControl()->setCurrentIndex(1);
    click(d->bu_Ok());
    ASSERT_EQ(prompts.texts().size(), 1);
    EXPECT_EQ(prompts.texts().first(), "The unsubscribe page \"http://example.org/u?t={token}\" must be an https "
                                       "address with {token} in it, such as https://example.org/unsubscribe?t={token}.");
    EXPECT_EQ(d->PageControl()->currentIndex(), 0);
    EXPECT_TRUE(waitFor([&] { return d->ed_UnsubscribeUrl()->hasFocus(); }));
    EXPECT_EQ(ini("PERSONAL", "EMAIL"), "ann@example.org") << "nothing written";
    EXPECT_FALSE(dialog.isNull());

    d->ed_UnsubscribeUrl()->setText(" https://example.org/leave/{token} ");
    d->ed_UnsubscribeMailto()->setText("lists@example.org, other@example.org");
    click(d->bu_Ok());
    ASSERT_EQ(prompts.texts().size(), 2);
    EXPECT_TRUE(prompts.texts().last().startsWith("The unsubscribe address \"lists@example.org, other@example.org\""));
    EXPECT_TRUE(waitFor([&] { return d->ed_UnsubscribeMailto()->hasFocus(); }));

    d->ed_UnsubscribeMailto()->setText("lists@example.org ");
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("UNSUBSCRIBE", "MAILTO"), "lists@example.org");
    EXPECT_EQ(ini("UNSUBSCRIBE", "URL"), "https://example.org/leave/{token}");
    EXPECT_EQ(session->Settings.FUnsubscribeMailto, "lists@example.org");
}

// "Send at most" N "messages per" M "minutes": whole numbers only; no limit
// shows empty and is written as 0.
TEST_F(NetworkSettingsTest, TheSendingLimitReadsWritesAndTakesOnlyWholeNumbers)
{
    useSettingsFile("[SMTP]\r\nSERVER=mail\r\nRATECOUNT=30\r\nRATEMINUTES=0\r\n");
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ed_RateCount()->text(), "30");
    EXPECT_EQ(d->ed_RateMinutes()->text(), "") << "0 is no limit and shows empty";
    EXPECT_FALSE(d->ed_RateCount()->accessibleDescription().isEmpty());
    d->ed_RateCount()->clear();
    QTest::keyClicks(d->ed_RateCount(), "-5x");
    EXPECT_EQ(d->ed_RateCount()->text(), "5");
    QTest::keyClicks(d->ed_RateMinutes(), "60");
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("SMTP", "RATECOUNT"), "5");
    EXPECT_EQ(ini("SMTP", "RATEMINUTES"), "60");
    EXPECT_EQ(session->Settings.FRateCount, 5);
    EXPECT_EQ(session->Settings.FRateMinutes, 60);
    EXPECT_TRUE(session->Settings.SendLimit().Active());

    d = openDialog();
    ASSERT_NE(d, nullptr);
    d->ed_RateCount()->clear();
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("SMTP", "RATECOUNT"), "0");
    EXPECT_FALSE(session->Settings.SendLimit().Active());
}

TEST_F(NetworkSettingsTest, ReadsEveryKeyOfTheFile)
{
    useSettingsFile(filledIni);
    entries = {"Office"};
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ed_Server()->text(), "mail.example.org");
    EXPECT_EQ(d->ed_Port()->text(), "2525");
    EXPECT_EQ(d->ed_Name()->text(), "Ann Berg");
    EXPECT_EQ(d->ed_EMail()->text(), "ann@example.org");
    EXPECT_TRUE(d->rb_Modem()->isChecked());
    EXPECT_FALSE(d->rb_Permanent()->isChecked());
    EXPECT_TRUE(d->ch_AutoConnect()->isChecked());
    EXPECT_FALSE(d->ch_Disconnect()->isChecked());
    EXPECT_EQ(d->co_Device()->currentText(), "Office");
    EXPECT_TRUE(modemControlsEnabled(d));
}

// A key the dialog does not show stays as the file has it.
TEST_F(NetworkSettingsTest, OkKeepsPipeliningTurnedOffInTheFile)
{
    QByteArray file = filledIni;
    file.replace("PORT=2525\r\n", "PORT=2525\r\nPIPELINING=0\r\n");
    useSettingsFile(file);
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("SMTP", "PIPELINING"), "0");
    EXPECT_FALSE(session->Settings.FPipelining);
}

TEST_F(NetworkSettingsTest, OkOnAMissingFileCreatesItWithEveryKeyInOrder)
{
    removeSettingsFile();
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(folder.readFile("CORVAN.INI"), "[SMTP]\r\nSERVER=\r\nPORT=smtp\r\nSECURITY=NONE\r\nUSER=\r\n"
                                             "LOGIN=PASSWORD\r\nRATECOUNT=0\r\nRATEMINUTES=0\r\nPIPELINING=1\r\n\r\n"
                                             "[PERSONAL]\r\nNAME=\r\nEMAIL=\r\n\r\n"
                                             "[DIALUP]\r\nMODEM=0\r\nAUTOC=0\r\nDISCO=0\r\nDEVICE=None\r\nLAN=1\r\n\r\n"
                                             "[UNSUBSCRIBE]\r\nMAILTO=\r\nURL=\r\n\r\n"
                                             "[OAUTH]\r\nPROVIDER=GOOGLE\r\nAUTHURL=\r\nTOKENURL=\r\nSCOPE=\r\nCLIENTID=\r\n");
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(NetworkSettingsTest, ClearingTheServerWritesItEmptyAndTheMainWindowRereads)
{
    useSettingsFile(filledIni);
    session->LoadSettings();
    ASSERT_EQ(session->Settings.FSmtpServer, "mail.example.org");
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    d->ed_Server()->clear();
    d->ed_Name()->setText("  Ann  Berg ");
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("SMTP", "SERVER"), "") << "present with an empty value, not missing";
    EXPECT_EQ(session->Settings.FSmtpServer, "");
    EXPECT_EQ(session->Settings.FUserName, "Ann  Berg");
    EXPECT_EQ(ini("DATABAS", "VERSION"), "1") << "the store's key survives";
    EXPECT_EQ(ini("DIALUP", "DEVICE"), "Office") << "an empty phone book leaves the stored name";
}

TEST_F(NetworkSettingsTest, CancelAndTheCloseBoxDiscardTheChanges)
{
    useSettingsFile(filledIni);
    session->LoadSettings();
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    d->ed_Server()->setText("changed.example.org");
    click(d->bu_Cancel());
    EXPECT_TRUE(dialogCloses());

    d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->ed_Server()->text(), "mail.example.org") << "a new window reads the file again";
    d->ed_Server()->setText("changed.example.org");
    d->parentWidget()->close();
    EXPECT_TRUE(dialogCloses());

    EXPECT_EQ(folder.readFile("CORVAN.INI"), filledIni);
    EXPECT_EQ(session->Settings.FSmtpServer, "mail.example.org");
}

TEST_F(NetworkSettingsTest, ChoosingTheConnectionKindEnablesTheModemControls)
{
    removeSettingsFile();
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    d->PageControl()->setCurrentIndex(1);
    click(d->rb_Modem());
    EXPECT_TRUE(d->rb_Modem()->isChecked());
    EXPECT_FALSE(d->rb_Permanent()->isChecked());
    EXPECT_TRUE(modemControlsEnabled(d));

    click(d->rb_Permanent());
    EXPECT_FALSE(d->rb_Modem()->isChecked());
    EXPECT_TRUE(modemControlsDisabled(d));

    click(d->rb_Modem());
    click(d->ch_Disconnect());
    d->co_Device()->setEditText("Home");
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("DIALUP", "MODEM"), "1");
    EXPECT_EQ(ini("DIALUP", "AUTOC"), "0");
    EXPECT_EQ(ini("DIALUP", "DISCO"), "1");
    EXPECT_EQ(ini("DIALUP", "DEVICE"), "Home");
    EXPECT_EQ(ini("DIALUP", "LAN"), "0");
    EXPECT_FALSE(session->Settings.FDialLan);
    EXPECT_TRUE(session->Settings.FDialDisconnect);
}

TEST_F(NetworkSettingsTest, ModemAndLanBothSetShowTheLan)
{
    useSettingsFile("[DIALUP]\r\nMODEM=1\r\nLAN=0x10\r\n");
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_TRUE(d->rb_Permanent()->isChecked());
    EXPECT_FALSE(d->rb_Modem()->isChecked());
    EXPECT_TRUE(modemControlsDisabled(d));
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("DIALUP", "MODEM"), "0");
    EXPECT_EQ(ini("DIALUP", "LAN"), "1");
}

TEST_F(NetworkSettingsTest, ModemAndLanBothClearShowNeitherKind)
{
    useSettingsFile("[DIALUP]\r\nMODEM=0\r\nAUTOC=1\r\nLAN=0\r\n");
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->rb_Permanent()->isChecked());
    EXPECT_FALSE(d->rb_Modem()->isChecked());
    EXPECT_TRUE(d->ch_AutoConnect()->isChecked());
    EXPECT_TRUE(modemControlsDisabled(d));

    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("DIALUP", "MODEM"), "0");
    EXPECT_EQ(ini("DIALUP", "LAN"), "0");

    d = openDialog();
    ASSERT_NE(d, nullptr);
    d->PageControl()->setCurrentIndex(1);
    click(d->rb_Modem());
    EXPECT_TRUE(modemControlsEnabled(d)) << "either kind can still be chosen";
    click(d->rb_Permanent());
    EXPECT_FALSE(d->rb_Modem()->isChecked());
}

TEST_F(NetworkSettingsTest, TheStoredEntryStaysChosenAmongThePhoneBookEntries)
{
    useSettingsFile("[DIALUP]\r\nMODEM=1\r\nDEVICE=Home\r\nLAN=0\r\n");
    entries = {"Office", "Home"};
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(d->co_Device()->count(), 2);
    EXPECT_EQ(d->co_Device()->itemText(0), "Office");
    EXPECT_EQ(d->co_Device()->itemText(1), "Home");
    EXPECT_EQ(d->co_Device()->currentText(), "Home");
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("DIALUP", "DEVICE"), "Home") << "confirming must not swap the entry to dial";
}

TEST_F(NetworkSettingsTest, ANameThePhoneBookLacksGivesWayToItsFirstEntry)
{
    useSettingsFile("[DIALUP]\r\nDEVICE=home\r\n");
    entries = {"Office", "Home"};
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->co_Device()->currentText(), "Office") << "entry names match exactly";

    click(d->bu_Cancel());
    EXPECT_TRUE(dialogCloses());
    removeSettingsFile();
    d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->co_Device()->currentText(), "Office") << "\"None\" is no entry";
}

TEST_F(NetworkSettingsTest, RestoringTheWindowListsNoEntryTwice)
{
    useSettingsFile("[DIALUP]\r\nMODEM=1\r\nDEVICE=Home\r\nLAN=0\r\n");
    entries = {"Office", "Home"};
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    d->co_Device()->setCurrentIndex(0);
    d->parentWidget()->showMinimized();
    d->parentWidget()->showNormal();
    ASSERT_TRUE(waitFor([&] { return d->isVisible(); }));
    EXPECT_EQ(d->co_Device()->count(), 2);
    EXPECT_EQ(d->co_Device()->currentText(), "Office") << "the user's choice stays";
    EXPECT_EQ(phoneBook->calls(), QStringList{"enumEntries"});
}

TEST_F(NetworkSettingsTest, APhoneBookThatCannotBeListedKeepsTheStoredName)
{
    useSettingsFile(filledIni);
    entries = {"Office", "Home"};
    enumEntriesResult = DialUpCode::ServiceUnavailable;
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->co_Device()->count(), 0);
    EXPECT_EQ(d->co_Device()->currentText(), "Office");
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(NetworkSettingsTest, WithoutNetworkManagerTheWindowOpensQuietly)
{
    useSettingsFile(filledIni);
    const QString busName = "corvane-network-no-bus";
    const QDBusConnection noBus = QDBusConnection::connectToBus("unix:path=/nonexistent/corvane-bus", busName);
    ASSERT_FALSE(noBus.isConnected());
    dialUpBackend = [noBus] { return std::make_unique<NetworkManagerBackend>(noBus); };
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->co_Device()->currentText(), "Office");
    EXPECT_TRUE(prompts.shown().isEmpty());
    click(d->bu_Cancel());
    EXPECT_TRUE(dialogCloses());
    QDBusConnection::disconnectFromBus(busName);
}

TEST_F(NetworkSettingsTest, AFileThatCannotBeWrittenIsReportedAndTheWindowStays)
{
    useSettingsFile(filledIni);
    session->LoadSettings();
    removeSettingsFile();
    // A folder where the file belongs: no write can replace it.
    ASSERT_TRUE(QDir(folder.path()).mkdir("CORVAN.INI"));
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    d->ed_Server()->setText("new.example.org");
    click(d->bu_Ok());
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown()[0].text.startsWith("Unable to write to " + folder.file("CORVAN.INI") + ": "))
        << prompts.shown()[0].text.toStdString();
    EXPECT_GT(prompts.shown()[0].text.size(), QString("Unable to write to " + folder.file("CORVAN.INI") + ": ").size())
        << "the system's reason follows";
    EXPECT_FALSE(dialog.isNull());
    EXPECT_TRUE(d->isVisible());
    EXPECT_EQ(d->ed_Server()->text(), "new.example.org");
    EXPECT_EQ(session->Settings.FSmtpServer, "mail.example.org") << "nothing was confirmed";
}

TEST_F(NetworkSettingsTest, EnterMovesToTheNextControlAndNeverConfirms)
{
    removeSettingsFile();
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    mdi->activateWindow();
    d->ed_Server()->setFocus();
    ASSERT_TRUE(waitFor([&] { return d->ed_Server()->hasFocus(); }));
    QTest::keyClick(d->ed_Server(), Qt::Key_Return);
    EXPECT_TRUE(d->ed_Port()->hasFocus());
    QTest::keyClick(d->ed_Port(), Qt::Key_Enter);
    EXPECT_TRUE(d->co_Security()->hasFocus());
    QTest::keyClick(d->co_Security(), Qt::Key_Return);
    EXPECT_TRUE(d->ed_User()->hasFocus());
    QTest::keyClick(d->ed_User(), Qt::Key_Return);
    EXPECT_TRUE(d->ed_Password()->hasFocus());
    QTest::keyClick(d->ed_Password(), Qt::Key_Return);
    EXPECT_TRUE(d->co_Login()->hasFocus());
    QTest::keyClick(d->co_Login(), Qt::Key_Return);
    EXPECT_TRUE(d->ed_RateCount()->hasFocus());
    QTest::keyClick(d->ed_RateCount(), Qt::Key_Enter);
    EXPECT_TRUE(d->ed_RateMinutes()->hasFocus());
    QTest::keyClick(d->ed_RateMinutes(), Qt::Key_Enter);
    EXPECT_TRUE(d->ed_Name()->hasFocus()) << "on to the next group";
    EXPECT_FALSE(dialog.isNull());
    EXPECT_FALSE(QFile::exists(folder.file("CORVAN.INI")));
}

TEST_F(NetworkSettingsTest, TheMenuBringsTheOpenWindowForward)
{
    TF_Network *first = openDialog();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->parentWidget()->pos(), QPoint(0, 0));
    EXPECT_TRUE(networkSettingsCommand()->isEnabled());
    EXPECT_EQ(openDialog(), first);
    EXPECT_EQ(mdi->mdiArea()->subWindowList().size(), 1);
}

TEST_F(NetworkSettingsTest, SecurityAndUserGoToTheFileAndThePasswordOnlyToTheSecretStore)
{
    useSettingsFile(QByteArray(filledIni).replace("PORT=2525\r\n", "PORT=2525\r\nSECURITY=starttls\r\nUSER=ann\r\n"));
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->co_Security()->currentText(), "STARTTLS");
    EXPECT_EQ(d->ed_User()->text(), "ann");
    EXPECT_EQ(d->ed_Password()->text(), "") << "the stored password is never shown";
    EXPECT_EQ(d->co_Security()->count(), 3);
    EXPECT_EQ(d->co_Security()->itemText(0), "None");
    EXPECT_EQ(d->co_Security()->itemText(2), "SSL/TLS");

    d->co_Security()->setCurrentIndex(2);
    d->ed_User()->setText(" bob ");
    d->ed_Password()->setText("pa55 word");
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("SMTP", "SECURITY"), "SSL");
    EXPECT_EQ(ini("SMTP", "USER"), "bob");
    EXPECT_EQ(session->Settings.FSmtpUser, "bob");
    EXPECT_EQ(vault->secrets, (QHash<QString, QString>{{"smtp:bob@mail.example.org", "pa55 word"}}));
    EXPECT_FALSE(folder.readFile("CORVAN.INI").contains("pa55")) << "never in the settings file";
    EXPECT_TRUE(prompts.shown().isEmpty());

    // An empty password field keeps what the store holds.
    d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->co_Security()->currentText(), "SSL/TLS");
    d->co_Security()->setCurrentIndex(0);
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("SMTP", "SECURITY"), "NONE");
    EXPECT_EQ(vault->secrets.value("smtp:bob@mail.example.org"), "pa55 word");
}

// A kind set by hand that the dialog does not know may be an encrypted one:
// OK must not turn it into a cleartext send.
TEST_F(NetworkSettingsTest, AnUnknownSecurityIsKeptAsItStandsWithAWarning)
{
    useSettingsFile(QByteArray(filledIni).replace("PORT=2525\r\n", "PORT=2525\r\nSECURITY=TLS1.3\r\n"));
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Warning);
    EXPECT_EQ(prompts.shown()[0].text, "The Security setting \"TLS1.3\" in CORVAN.INI is not one Corvane 98 knows "
                                       "(None, STARTTLS or SSL/TLS). It is kept as it is, and sending refuses it "
                                       "until you choose one.");
    EXPECT_EQ(d->co_Security()->currentText(), "TLS1.3");
    d->ed_Port()->setText("465");
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("SMTP", "SECURITY"), "TLS1.3");
    EXPECT_EQ(ini("SMTP", "PORT"), "465");

    d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->co_Security()->count(), 4) << "the three kinds and the kept value, once";
    d->co_Security()->setCurrentIndex(1);
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses());
    EXPECT_EQ(ini("SMTP", "SECURITY"), "STARTTLS") << "a kind the user chose replaces it";
    d = openDialog();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->co_Security()->count(), 3);
    EXPECT_EQ(prompts.shown().size(), 2) << "warned each time the value was kept, and only then";
}

TEST_F(NetworkSettingsTest, ASettingsFileThatCannotBeReadIsNotReplacedByTheKeysWritten)
{
    useSettingsFile(filledIni);
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    d->ed_Server()->setText("new.example.org");
    {
        UnreadableFile unreadable(folder.file("CORVAN.INI"));
        if (unreadable.readable())
            GTEST_SKIP() << "this process reads files whatever their permissions";
        click(d->bu_Ok());
    }
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown()[0].text.startsWith("Unable to write to " + folder.file("CORVAN.INI")
                                                   + ": the file cannot be read ("))
        << prompts.shown()[0].text.toStdString();
    EXPECT_EQ(folder.readFile("CORVAN.INI"), filledIni) << "every key is still there";
    EXPECT_FALSE(dialog.isNull()) << "the window stays with what was typed";
    EXPECT_EQ(d->ed_Server()->text(), "new.example.org");
}

TEST_F(NetworkSettingsTest, WithoutASecretStoreSavingSaysSoAndThePasswordLastsThisRunOnly)
{
    useSettingsFile(filledIni);
    vault->available = false;
    TF_Network *d = openDialog();
    ASSERT_NE(d, nullptr);
    d->co_Security()->setCurrentIndex(1);
    d->ed_User()->setText("ann");
    d->ed_Password()->setText("pa55 word");
    click(d->bu_Ok());
    EXPECT_TRUE(dialogCloses()) << "the settings themselves were saved";
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Warning);
    EXPECT_EQ(prompts.shown()[0].text, "The password could not be kept in the desktop's secret store (no store in "
                                       "this test). It is kept until Corvane 98 ends, and asked for when sending "
                                       "after that.");
    EXPECT_EQ(ini("SMTP", "SECURITY"), "STARTTLS");
    EXPECT_FALSE(folder.readFile("CORVAN.INI").contains("pa55"));

    QString failure;
    EXPECT_EQ(session->SmtpLogin().PasswordFor("MAIL.example.org ", "ann", failure), "pa55 word");
    EXPECT_TRUE(prompts.passwordQuestions().isEmpty());
}

}
