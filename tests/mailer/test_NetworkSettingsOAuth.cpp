#include "support/InMemoryPhoneBook.h"
#include "support/MemorySecretStore.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "support/TestCertificates.h"
#include "support/TestOAuthProvider.h"
#include "support/WaitFor.h"
#include "mailer/MailerSession.h"
#include "mailer/TF_Network.h"
#include "platform/ProfileIni.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

// The login kind and the OAuth 2.0 sign-in of the network settings window.

namespace {

const QString User = QStringLiteral("ann@example.org");

class NetworkSettingsOAuthTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        session = std::make_unique<TMailerSession>(*dm, folder.path(),
                                                   [] { return std::make_unique<InMemoryPhoneBook>(); });
        session->SmtpLogin().setStore(std::make_unique<MemorySecretStore>(vault));
    }

    std::unique_ptr<TF_Network> openDialog()
    {
        auto dialog = std::make_unique<TF_Network>(*session);
        dialog->show();
        EXPECT_TRUE(waitFor([&] { return dialog->isVisible(); }));
        return dialog;
    }

    void startProvider()
    {
        ASSERT_TRUE(certificates.error().isEmpty()) << certificates.error().toStdString();
        const TestCertificates::Server certificate = certificates.server("local", {"127.0.0.1"});
        TestOAuthProvider::Options options;
        options.certificateFile = certificate.certificateFile;
        options.keyFile = certificate.keyFile;
        ASSERT_TRUE(provider.start(options)) << provider.error().toStdString();
    }

    // The dialog set up for the test provider, as the user types it in.
    void chooseTestProvider(TF_Network &d)
    {
        d.co_Login()->setCurrentIndex(1);
        d.co_Provider()->setCurrentIndex(d.co_Provider()->findText("Custom"));
        const TOAuthProvider custom = provider.provider();
        QTest::keyClicks(d.ed_User(), User);
        QTest::keyClicks(d.ed_AuthUrl(), custom.authorizationEndpoint);
        QTest::keyClicks(d.ed_TokenUrl(), custom.tokenEndpoint);
        QTest::keyClicks(d.ed_Scope(), custom.scope);
        QTest::keyClicks(d.ed_ClientId(), custom.clientId);
    }

    QString ini(const QString &section, const QString &key) const
    {
        return ProfileIni(folder.file("CORVAN.INI")).readString(section, key, "<missing>");
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    std::shared_ptr<MemorySecretStore::Vault> vault = std::make_shared<MemorySecretStore::Vault>();
    std::unique_ptr<TMailerSession> session;
    TestCertificates certificates;
    TestOAuthProvider provider;
    TestBrowser browser;
};

TEST_F(NetworkSettingsOAuthTest, AnOldFileShowsThePasswordLoginAndTheSignInPageUnusable)
{
    folder.writeFile("CORVAN.INI", "[SMTP]\r\nSERVER=mail.example.org\r\nUSER=ann\r\n");
    const auto d = openDialog();
    EXPECT_EQ(d->co_Login()->currentText(), "Password");
    EXPECT_TRUE(d->ed_Password()->isEnabled());
    EXPECT_FALSE(d->PageControl()->widget(2)->isEnabled());
    EXPECT_EQ(d->lb_SignedIn()->text(), "Not signed in");
    EXPECT_EQ(vault->reads, 0) << "no look into the store for a password login";

    d->co_Login()->setCurrentIndex(1);
    EXPECT_FALSE(d->ed_Password()->isEnabled());
    EXPECT_TRUE(d->PageControl()->widget(2)->isEnabled());
}

TEST_F(NetworkSettingsOAuthTest, APresetShowsItsEndpointsReadOnlyAndACustomProviderKeepsItsOwn)
{
    folder.writeFile("CORVAN.INI", "[SMTP]\r\nLOGIN=OAUTH2\r\n[OAUTH]\r\nPROVIDER=CUSTOM\r\n"
                                   "AUTHURL=https://id.example.org/auth\r\nTOKENURL=https://id.example.org/token\r\n"
                                   "SCOPE=smtp\r\nCLIENTID=app-1\r\n");
    const auto d = openDialog();
    EXPECT_EQ(d->co_Provider()->currentText(), "Custom");
    EXPECT_EQ(d->ed_TokenUrl()->text(), "https://id.example.org/token");
    EXPECT_FALSE(d->ed_TokenUrl()->isReadOnly());

    d->co_Provider()->setCurrentIndex(d->co_Provider()->findText("Microsoft"));
    EXPECT_EQ(d->ed_AuthUrl()->text(), "https://login.microsoftonline.com/common/oauth2/v2.0/authorize");
    EXPECT_EQ(d->ed_Scope()->text(), "https://outlook.office.com/SMTP.Send offline_access");
    EXPECT_TRUE(d->ed_Scope()->isReadOnly());
    EXPECT_EQ(d->ed_Scope()->accessibleName(), "Scope:") << "a screen reader still reads it out";
    QTest::mouseClick(d->bu_Ok(), Qt::LeftButton);
    EXPECT_EQ(ini("OAUTH", "PROVIDER"), "MICROSOFT");
    EXPECT_EQ(ini("OAUTH", "TOKENURL"), "https://id.example.org/token") << "the custom values wait for their turn";
    EXPECT_EQ(ini("OAUTH", "CLIENTID"), "app-1");
    EXPECT_EQ(ini("SMTP", "LOGIN"), "OAUTH2");

    const auto again = openDialog();
    again->co_Provider()->setCurrentIndex(again->co_Provider()->findText("Custom"));
    EXPECT_EQ(again->ed_AuthUrl()->text(), "https://id.example.org/auth");
    EXPECT_EQ(again->ed_Scope()->text(), "smtp");
}

TEST_F(NetworkSettingsOAuthTest, ATypedClientSecretGoesToTheSecretStoreNotTheFile)
{
    const auto d = openDialog();
    d->co_Login()->setCurrentIndex(1);
    QTest::keyClicks(d->ed_ClientId(), "app-1");
    QTest::keyClicks(d->ed_ClientSecret(), "GOCSPX-hush");
    QTest::mouseClick(d->bu_Ok(), Qt::LeftButton);
    TOAuthProvider google = TOAuthProvider::Preset(TOAuthProvider::Kind::Google);
    google.clientId = "app-1";
    EXPECT_EQ(vault->secrets.value(google.ClientSecretKey()), "GOCSPX-hush");
    EXPECT_FALSE(folder.readFile("CORVAN.INI").contains("hush"));
}

TEST_F(NetworkSettingsOAuthTest, SignInSaysWhoIsSignedInAndANewWindowStillKnows)
{
    startProvider();
    const auto d = openDialog();
    chooseTestProvider(*d);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(d->bu_SignIn())->text(QAccessible::Name), "Sign in...");
    QTest::mouseClick(d->bu_SignIn(), Qt::LeftButton);
    EXPECT_EQ(d->lb_SignedIn()->text(), "Signed in as ann@example.org") << prompts.texts().join('\n').toStdString();
    EXPECT_EQ(d->bu_SignIn()->text(), "Sign in...");
    EXPECT_TRUE(prompts.shown().isEmpty());
    QTest::mouseClick(d->bu_Ok(), Qt::LeftButton);
    EXPECT_EQ(openDialog()->lb_SignedIn()->text(), "Signed in as ann@example.org");
}

TEST_F(NetworkSettingsOAuthTest, TheSameButtonCancelsASignInAndNothingIsKept)
{
    startProvider();
    browser.behaviour = TestBrowser::Behaviour::Close;
    const auto d = openDialog();
    chooseTestProvider(*d);
    QString waitingCaption;
    QTimer::singleShot(50, [&] {
        waitingCaption = d->bu_SignIn()->text();
        QTest::mouseClick(d->bu_SignIn(), Qt::LeftButton);
    });
    QTest::mouseClick(d->bu_SignIn(), Qt::LeftButton);
    EXPECT_EQ(waitingCaption, "Cancel sign-in");
    EXPECT_EQ(prompts.texts(), QStringList{"The sign-in was cancelled"});
    EXPECT_EQ(d->lb_SignedIn()->text(), "Not signed in");
    EXPECT_EQ(d->bu_SignIn()->text(), "Sign in...");
    EXPECT_TRUE(vault->secrets.isEmpty());
}

TEST_F(NetworkSettingsOAuthTest, ClosingTheWindowGivesUpItsSignIn)
{
    startProvider();
    browser.behaviour = TestBrowser::Behaviour::Close;
    const auto d = openDialog();
    chooseTestProvider(*d);
    QTimer::singleShot(50, d.get(), [&] { d->close(); });
    QTest::mouseClick(d->bu_SignIn(), Qt::LeftButton);
    EXPECT_FALSE(session->Tokens().Browser().Running());
    EXPECT_EQ(prompts.texts(), QStringList{"The sign-in was cancelled"});
    EXPECT_TRUE(vault->secrets.isEmpty());
}

TEST_F(NetworkSettingsOAuthTest, ASignInWithoutAUserNameSaysSoAndOpensNoBrowser)
{
    startProvider();
    const auto d = openDialog();
    chooseTestProvider(*d);
    d->ed_User()->clear();
    QTest::mouseClick(d->bu_SignIn(), Qt::LeftButton);
    EXPECT_EQ(prompts.texts(), QStringList{"Enter the user name (the account's address) before signing in"});
    EXPECT_TRUE(browser.opened.isEmpty());
}

}
