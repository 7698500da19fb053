#include "support/GroupSendFixture.h"
#include "support/MemorySecretStore.h"
#include "support/TestCertificates.h"
#include "support/TestOAuthProvider.h"

// The group send with an OAuth 2.0 login, against the test provider: a
// sign-in in the (test's) browser, then runs whose login is AUTH XOAUTH2 or
// OAUTHBEARER over TLS with an access token that aiosmtpd takes only while
// it lasts.

namespace {

const QString User = QStringLiteral("ann@example.org");
constexpr int Lifetime = 600;

TestCertificates &certificates()
{
    static TestCertificates made;
    return made;
}

class GroupSendOAuthTest : public GroupSendTest
{
protected:
    void SetUp() override
    {
        GroupSendTest::SetUp();
        ASSERT_TRUE(certificates().error().isEmpty()) << certificates().error().toStdString();
        components->Login.setStore(std::make_unique<MemorySecretStore>(vault));
        StoreSetup::addGroup(*dm, "Three", {"a@x.org", "b@x.org", "c@x.org"});
    }

    void startProvider(const QStringList &mechanisms = {"XOAUTH2", "OAUTHBEARER"})
    {
        const TestCertificates::Server certificate = certificates().server("local", {"127.0.0.1"});
        TestOAuthProvider::Options options;
        options.certificateFile = certificate.certificateFile;
        options.keyFile = certificate.keyFile;
        options.lifetimeSeconds = Lifetime;
        options.mechanisms = mechanisms;
        ASSERT_TRUE(provider.start(options)) << provider.error().toStdString();
        const TOAuthProvider custom = provider.provider();
        settings.FSmtpPort = QString::number(provider.smtpPort());
        settings.FSmtpSecurity = "STARTTLS";
        settings.FSmtpUser = User;
        settings.FSmtpLogin = "OAUTH2";
        settings.FOAuthProvider = "CUSTOM";
        settings.FOAuthAuthorizationUrl = custom.authorizationEndpoint;
        settings.FOAuthTokenUrl = custom.tokenEndpoint;
        settings.FOAuthScope = custom.scope;
        settings.FOAuthClientId = custom.clientId;
        ASSERT_EQ(components->Tokens.SignIn(custom, User, {}).failure, "");
    }

    // Sends to "Three" and waits for the run to end; the messages the
    // server has taken by then.
    int sendThree()
    {
        const int before = static_cast<int>(provider.messages().size());
        send("Three");
        waitFor([&] { return !run->Busy(); }, 15000);
        return static_cast<int>(provider.messages().size()) - before;
    }

    QString everythingShown() const
    {
        QStringList all = run->FResultLog.lines() + prompts.texts();
        for (const QStringList &results : status.results)
            all += results;
        return all.join('\n');
    }

    std::shared_ptr<MemorySecretStore::Vault> vault = std::make_shared<MemorySecretStore::Vault>();
    TestCertificates::TrustScope trust{certificates().caFile()};
    TestOAuthProvider provider;
    TestBrowser browser;
};

TEST_F(GroupSendOAuthTest, TheNextRunAfterTheTokenExpiredRefreshesItWithoutAsking)
{
    startProvider();
    EXPECT_EQ(sendThree(), 3) << everythingShown().toStdString();
    ASSERT_FALSE(status.results.isEmpty());
    const QString log = status.results.last().join('\n');
    EXPECT_TRUE(log.contains("> AUTH XOAUTH2 (credentials not shown)")) << log.toStdString();
    EXPECT_EQ(provider.count("refresh_grants"), 0) << "the sign-in's token serves the first run";

    provider.control("expire");
    clock.advanceSeconds(Lifetime + 1);
    EXPECT_EQ(sendThree(), 3) << everythingShown().toStdString();
    EXPECT_EQ(provider.count("refresh_grants"), 1);
    EXPECT_EQ(provider.count("refused_logins"), 0) << "renewed before the server saw the old one";
    EXPECT_EQ(provider.count("logins"), 2);
    EXPECT_TRUE(prompts.shown().isEmpty()) << prompts.texts().join('\n').toStdString();
    EXPECT_EQ(browser.opened.size(), 1) << "no second sign-in";
}

TEST_F(GroupSendOAuthTest, ATokenTheServerRefusesIsRenewedOnceAndTheRunGoesOn)
{
    startProvider({"OAUTHBEARER"});
    // The provider ended the token early; the program still thinks it good.
    provider.control("expire");
    EXPECT_EQ(sendThree(), 3) << everythingShown().toStdString();
    ASSERT_FALSE(status.results.isEmpty());
    const QString log = status.results.last().join('\n');
    EXPECT_TRUE(log.contains("> AUTH OAUTHBEARER (credentials not shown)")) << log.toStdString();
    EXPECT_TRUE(log.contains("The server refused the access token: asking for a new one"));
    EXPECT_EQ(provider.count("refused_logins"), 1);
    EXPECT_EQ(provider.count("refresh_grants"), 1);
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(GroupSendOAuthTest, ARevokedSignInMakesTheMailerAskAndSendsNothingWhenDeclined)
{
    startProvider();
    provider.control("revoke");
    provider.control("expire");
    clock.advanceSeconds(Lifetime + 1);
    prompts.answer(PromptAnswer::No);
    EXPECT_EQ(sendThree(), 0);
    ASSERT_GE(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].text,
              "The sign-in to 127.0.0.1 as 'ann@example.org' is no longer accepted (127.0.0.1 refused: invalid_grant: "
              "Token has been expired or revoked.). Sign in in the browser now?");
    EXPECT_TRUE(everythingShown().contains(": not signed in again"));
    EXPECT_FALSE(everythingShown().contains("EHLO")) << "asked before a session kept the server waiting";
    EXPECT_EQ(provider.count("logins"), 0);

    // Said yes to, the browser signs in again and the run goes out.
    prompts.answerAllWithDefault();
    EXPECT_EQ(sendThree(), 3) << everythingShown().toStdString();
    EXPECT_EQ(browser.opened.size(), 2);
}

TEST_F(GroupSendOAuthTest, AnUnknownProviderInTheFileStopsTheRunBeforeConnecting)
{
    startProvider();
    settings.FOAuthProvider = "Yahoo";
    EXPECT_EQ(sendThree(), 0);
    EXPECT_TRUE(everythingShown().contains(
        "The sign-in provider \"Yahoo\" in CORVAN.INI is not one Corvane 98 knows (Google, Microsoft or custom)"));
    EXPECT_EQ(provider.count("logins") + provider.count("refused_logins"), 0);
}

}
