#include "support/MainWindowFixture.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Network.h"
#include "mailer/TF_Result.h"
#include "support/MemorySecretStore.h"
#include "support/ModalDialogs.h"
#include "support/RealSmtpServer.h"
#include "support/TestCertificates.h"

#include <QComboBox>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

// What a user does: sets up a provider's submission port in "Corvane 98
// configuration" and sends to a group through a real server that wants
// STARTTLS and a login, with the certificate checked against the test's own
// authority.

namespace {

using SecureSendWindowTest = MainWindowFixture;

TEST_F(SecureSendWindowTest, ASendThroughAServerThatWantsStartTlsAndALogin)
{
    TestCertificates certificates;
    const TestCertificates::Server certificate = certificates.server("local", {"127.0.0.1"});
    ASSERT_TRUE(certificates.error().isEmpty()) << certificates.error().toStdString();
    const TestCertificates::TrustScope trust(certificates.caFile());
    RealSmtpServer server;
    ASSERT_TRUE(server.start({certificate.certificateFile, certificate.keyFile, false, "ann", "pa55 word"}))
        << server.error().toStdString();
    auto vault = std::make_shared<MemorySecretStore::Vault>();
    session->SmtpLogin().setStore(std::make_unique<MemorySecretStore>(vault));
    StoreSetup::addGroup(*dm, "Friends", {"anna@example.org", "bo@example.org"});

    menuAction("NetworkSettings1")->trigger();
    auto *settings = qobject_cast<TF_Network *>(mdi->mdiArea()->currentSubWindow()->widget());
    ASSERT_NE(settings, nullptr);
    settings->ed_Server()->setText("127.0.0.1");
    settings->ed_Port()->setText(QString::number(server.port()));
    settings->co_Security()->setCurrentIndex(settings->co_Security()->findText("STARTTLS"));
    QTest::keyClicks(settings->ed_User(), "ann");
    QTest::keyClicks(settings->ed_Password(), "pa55 word");
    settings->ed_Name()->setText("Ann Sender");
    settings->ed_EMail()->setText("ann@example.org");
    QTest::mouseClick(settings->bu_Ok(), Qt::LeftButton);
    ASSERT_TRUE(waitFor([&] { return mdi->mdiArea()->subWindowList().isEmpty(); }));

    TF_NewMsg *message = openMessageTo("Friends");
    ASSERT_NE(message, nullptr);
    message->e_subject->setText("Over TLS");
    message->mo_Message->setPlainText("Hello");
    const QStringList results = sendAndReadResults();
    ASSERT_FALSE(results.isEmpty());

    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 2; }, 10000)) << results.join('\n').toStdString();
    EXPECT_EQ(server.messages()[0].rcptTos, QStringList{"anna@example.org"});
    EXPECT_EQ(server.messages()[1].rcptTos, QStringList{"bo@example.org"});
    EXPECT_TRUE(results.contains("> STARTTLS"));
    EXPECT_TRUE(results.contains("> AUTH PLAIN (credentials not shown)"));
    const QString shown = results.join('\n') + prompts.texts().join('\n');
    EXPECT_FALSE(shown.contains("pa55")) << "the password is in no log";
    EXPECT_FALSE(folder.readFile("CORVAN.INI").contains("pa55")) << "nor in the settings file";
    EXPECT_EQ(vault->secrets.value(TSmtpLogin::KeyFor("127.0.0.1", "ann")), "pa55 word");
}

}
