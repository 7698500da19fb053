#include "support/MainWindowFixture.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Network.h"
#include "support/MemorySecretStore.h"
#include "support/TestCertificates.h"
#include "support/TestOAuthProvider.h"

#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

// What a user of a large provider does: chooses the OAuth 2.0 sign-in in
// "Corvane 98 configuration", signs in in the browser (the test's), and
// sends to a group through a server that takes only the provider's tokens.

namespace {

using OAuthSendWindowTest = MainWindowFixture;

TEST_F(OAuthSendWindowTest, SigningInInTheDialogThenSendingLogsInWithXOAuth2)
{
    TestCertificates certificates;
    const TestCertificates::Server certificate = certificates.server("local", {"127.0.0.1"});
    ASSERT_TRUE(certificates.error().isEmpty()) << certificates.error().toStdString();
    const TestCertificates::TrustScope trust(certificates.caFile());
    TestOAuthProvider provider;
    TestOAuthProvider::Options options;
    options.certificateFile = certificate.certificateFile;
    options.keyFile = certificate.keyFile;
    options.clientSecret = "cl13nt s3cret";
    ASSERT_TRUE(provider.start(options)) << provider.error().toStdString();
    TestBrowser browser;
    auto vault = std::make_shared<MemorySecretStore::Vault>();
    session->SmtpLogin().setStore(std::make_unique<MemorySecretStore>(vault));
    StoreSetup::addGroup(*dm, "Friends", {"anna@example.org", "bo@example.org"});

    menuAction("NetworkSettings1")->trigger();
    auto *settings = qobject_cast<TF_Network *>(mdi->mdiArea()->currentSubWindow()->widget());
    ASSERT_NE(settings, nullptr);
    settings->ed_Server()->setText("127.0.0.1");
    settings->ed_Port()->setText(QString::number(provider.smtpPort()));
    settings->co_Security()->setCurrentIndex(settings->co_Security()->findText("STARTTLS"));
    QTest::keyClicks(settings->ed_User(), "ann@example.org");
    settings->co_Login()->setCurrentIndex(settings->co_Login()->findText("OAuth 2.0 sign-in"));
    settings->ed_Name()->setText("Ann Sender");
    settings->ed_EMail()->setText("ann@example.org");
    settings->co_Provider()->setCurrentIndex(settings->co_Provider()->findText("Custom"));
    const TOAuthProvider custom = provider.provider();
    QTest::keyClicks(settings->ed_AuthUrl(), custom.authorizationEndpoint);
    QTest::keyClicks(settings->ed_TokenUrl(), custom.tokenEndpoint);
    QTest::keyClicks(settings->ed_Scope(), custom.scope);
    QTest::keyClicks(settings->ed_ClientId(), custom.clientId);
    QTest::keyClicks(settings->ed_ClientSecret(), "cl13nt s3cret");
    QTest::mouseClick(settings->bu_SignIn(), Qt::LeftButton);
    EXPECT_EQ(settings->lb_SignedIn()->text(), "Signed in as ann@example.org") << prompts.texts().join('\n').toStdString();
    EXPECT_TRUE(prompts.shown().isEmpty());
    QTest::mouseClick(settings->bu_Ok(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return mdi->mdiArea()->subWindowList().isEmpty(); }));

    TF_NewMsg *message = openMessageTo("Friends");
    ASSERT_NE(message, nullptr);
    message->e_subject->setText("Signed in");
    message->mo_Message->setPlainText("Hello");
    const QStringList results = sendAndReadResults();
    ASSERT_TRUE(waitFor([&] { return provider.messages().size() == 2; }, 10000)) << results.join('\n').toStdString();
    EXPECT_TRUE(results.contains("> AUTH XOAUTH2 (credentials not shown)")) << results.join('\n').toStdString();
    EXPECT_EQ(provider.count("logins"), 1);
    EXPECT_EQ(provider.count("refresh_grants"), 0) << "the sign-in's access token served the send";

    // Nothing secret in the files of the program and its user: the tokens
    // and the client secret are in the secret store only.
    const QString refresh = vault->secrets.value(custom.AccountKey("ann@example.org"));
    ASSERT_TRUE(refresh.startsWith("rt-"));
    EXPECT_EQ(vault->secrets.value(custom.ClientSecretKey()), "cl13nt s3cret");
    QString failure;
    const QString access = session->Tokens().accessToken(false, failure).value_or("none");
    ASSERT_TRUE(access.startsWith("at-")) << failure.toStdString();
    EXPECT_FALSE(results.join('\n').contains(access)) << "no access token in the results";
    int files = 0;
    for (QDirIterator it(folder.path(), QDir::Files, QDirIterator::Subdirectories); it.hasNext(); ++files) {
        QFile file(it.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        const QByteArray content = file.readAll();
        EXPECT_FALSE(content.contains(refresh.toLatin1())) << file.fileName().toStdString();
        EXPECT_FALSE(content.contains("cl13nt")) << file.fileName().toStdString();
        EXPECT_FALSE(content.contains(access.toLatin1())) << file.fileName().toStdString();
    }
    EXPECT_GT(files, 1) << "the settings file and the store were looked through";
    EXPECT_TRUE(folder.readFile("CORVAN.INI").contains("LOGIN=OAUTH2"));
}

}
