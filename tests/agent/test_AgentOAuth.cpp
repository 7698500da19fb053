#include "agent/AgentLoop.h"
#include "support/AgentFixture.h"
#include "support/MemorySecretStore.h"
#include "support/TestCertificates.h"
#include "support/TestOAuthProvider.h"

#include <gtest/gtest.h>

// The agent with an OAuth 2.0 login: it uses the sign-in the mailer made and
// refreshes its token by itself, but never opens a browser; when the
// sign-in is gone it fails the entry with a log line and says, in the tray
// tip's reason, to sign in from the mailer.

namespace {

const QString User = QStringLiteral("ann@example.org");

TestCertificates &certificates()
{
    static TestCertificates made;
    return made;
}

class AgentOAuthTest : public AgentFixture
{
protected:
    void SetUp() override
    {
        AgentFixture::SetUp();
        ASSERT_TRUE(certificates().error().isEmpty()) << certificates().error().toStdString();
        const TestCertificates::Server certificate = certificates().server("local", {"127.0.0.1"});
        TestOAuthProvider::Options options;
        options.certificateFile = certificate.certificateFile;
        options.keyFile = certificate.keyFile;
        options.lifetimeSeconds = 600;
        ASSERT_TRUE(provider.start(options)) << provider.error().toStdString();
        const TOAuthProvider custom = provider.provider();
        writeSettings("[SMTP]\r\nSERVER=127.0.0.1\r\nPORT=" + QByteArray::number(provider.smtpPort())
                      + "\r\nSECURITY=STARTTLS\r\nUSER=" + User.toUtf8() + "\r\nLOGIN=OAUTH2\r\n"
                      + "[PERSONAL]\r\nNAME=Ann Sender\r\nEMAIL=ann@x.org\r\n[OAUTH]\r\nPROVIDER=CUSTOM\r\nAUTHURL="
                      + custom.authorizationEndpoint.toUtf8() + "\r\nTOKENURL=" + custom.tokenEndpoint.toUtf8()
                      + "\r\nSCOPE=" + custom.scope.toUtf8() + "\r\nCLIENTID=" + custom.clientId.toUtf8() + "\r\n");
        components->Login.setStore(std::make_unique<MemorySecretStore>(vault));
        // The mailer signed in on the same secret store.
        TSmtpLogin mailerLogin(std::make_unique<MemorySecretStore>(vault));
        TOAuthTokenSource mailerTokens(mailerLogin);
        ASSERT_EQ(mailerTokens.SignIn(custom, User, {}).failure, "");
        browser.opened.clear();

        loop = std::make_unique<agent::TAgentLoop>(*dm, *components, files(), status);
        loop->Choices.PromptBeforeSend = false;
        loop->Choices.PromptIfError = false;
        loop->Start();
        loop->Run().Connection().ti_Connect.setInterval(10);
        schedule("Ten", folder.file("hello.msg"), clock.currentDateTime().addDays(-1));
    }

    TestCertificates::TrustScope trust{certificates().caFile()};
    std::shared_ptr<MemorySecretStore::Vault> vault = std::make_shared<MemorySecretStore::Vault>();
    TestOAuthProvider provider;
    TestBrowser browser;
    RecordingStatus status;
    std::unique_ptr<agent::TAgentLoop> loop;
};

TEST_F(AgentOAuthTest, TheAgentRefreshesTheMailersSignInAndSends)
{
    loop->timerTimer();
    EXPECT_EQ(provider.messages().size(), 10) << loop->ResultLog().join('\n').toStdString();
    EXPECT_EQ(provider.count("refresh_grants"), 1) << "the agent had no access token of its own";
    EXPECT_TRUE(scheduledGroups().isEmpty());
    EXPECT_TRUE(loop->timer.isActive());
    EXPECT_TRUE(browser.opened.isEmpty());
}

TEST_F(AgentOAuthTest, ARevokedSignInFailsTheEntryWithALogLineAndNoBrowser)
{
    provider.control("revoke");
    loop->timerTimer();
    EXPECT_TRUE(provider.messages().isEmpty());
    EXPECT_TRUE(browser.opened.isEmpty()) << "the agent never opens a browser";
    EXPECT_TRUE(prompts.shown().isEmpty()) << prompts.texts().join('\n').toStdString();
    const QString log = loop->ResultLog().join('\n');
    EXPECT_TRUE(log.contains("is no longer accepted (127.0.0.1 refused: invalid_grant: Token has been expired or "
                             "revoked.): sign in from the mailer under File > Network Settings"))
        << log.toStdString();
    EXPECT_TRUE(log.contains("Connection failed: sign in again from the mailer (File > Network Settings)"));
    EXPECT_EQ(provider.count("refresh_grants"), 0);
    EXPECT_EQ(provider.count("refused_grants"), 1) << "one attempt: the others could not do better";
    EXPECT_FALSE(loop->timer.isActive());
    EXPECT_EQ(loop->StoppedBecause(), agent::TAgentLoop::SignInInMailer);
    EXPECT_EQ(scheduledGroups(), QStringList{"Ten"}) << "the entry waits for the sign-in";
}

}
