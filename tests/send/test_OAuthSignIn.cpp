#include "send/OAuthLoopback.h"
#include "send/OAuthSignIn.h"
#include "send/OAuthTokenSource.h"
#include "send/SmtpLogin.h"
#include "support/MemorySecretStore.h"
#include "support/MockClock.h"
#include "support/ScriptedPrompts.h"
#include "support/TestCertificates.h"
#include "support/TestOAuthProvider.h"
#include "support/WaitFor.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <gtest/gtest.h>

// The sign-in in the browser and the tokens of the login, against the test
// provider's authorization server, which checks the PKCE verifier, the
// loopback redirect and the client as a real one does.

namespace {

const QString User = QStringLiteral("ann@example.org");

TestCertificates &certificates()
{
    static TestCertificates made;
    return made;
}

class OAuthSignInTest : public ::testing::Test
{
protected:
    void SetUp() override { startProvider({}); }

    void startProvider(const QString &clientSecret, bool rotate = false)
    {
        ASSERT_TRUE(certificates().error().isEmpty()) << certificates().error().toStdString();
        const TestCertificates::Server certificate = certificates().server("local", {"127.0.0.1"});
        TestOAuthProvider::Options options;
        options.certificateFile = certificate.certificateFile;
        options.keyFile = certificate.keyFile;
        options.clientSecret = clientSecret;
        options.lifetimeSeconds = 600;
        options.rotate = rotate;
        ASSERT_TRUE(server.start(options)) << server.error().toStdString();
        provider = server.provider();
    }

    // The sign-in as the dialog runs it; what it kept is in the vault.
    TOAuthTokenSource::SignInResult signIn(const QString &clientSecret = {})
    {
        return tokens.SignIn(provider, User, clientSecret);
    }

    std::shared_ptr<MemorySecretStore::Vault> vault = std::make_shared<MemorySecretStore::Vault>();
    TSmtpLogin login{std::make_unique<MemorySecretStore>(vault)};
    TOAuthTokenSource tokens{login};
    TestOAuthProvider server;
    TOAuthProvider provider;
    TestBrowser browser;
    ScriptedPrompts prompts;
};

TEST(OAuthPkce, TheChallengeIsTheBase64UrlOfTheVerifiersSha256)
{
    // The example of RFC 7636, appendix B.
    EXPECT_EQ(TOAuthSignIn::Challenge("dBjftJeZ4CVP-mB92K27uhbUJU1p1r_wW1gFWFOEjXk"),
              "E9Melhoa2OwvFrEMTJguCHaoeK1t8URWbuGJSstw-cM");
    const QRegularExpression unreserved("^[A-Za-z0-9._~-]{43,128}$");
    QSet<QString> seen;
    for (int i = 0; i < 50; ++i) {
        const QString verifier = TOAuthSignIn::NewVerifier();
        EXPECT_TRUE(unreserved.match(verifier).hasMatch()) << verifier.toStdString();
        seen.insert(verifier);
    }
    EXPECT_EQ(seen.size(), 50) << "every sign-in has a verifier of its own";
}

TEST(OAuthLoopback, OnlyTheFirstRedirectToTheRootCounts)
{
    TOAuthLoopback loopback;
    ASSERT_TRUE(loopback.listen());
    const QUrl redirect(loopback.redirectUri());
    EXPECT_EQ(redirect.host(), "127.0.0.1");
    EXPECT_NE(redirect.port(), 0);
    QList<QUrlQuery> redirects;
    QObject::connect(&loopback, &TOAuthLoopback::redirected, [&](const QUrlQuery &q) { redirects.append(q); });

    const auto request = [&](const QByteArray &line) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(redirect.port()));
        EXPECT_TRUE(socket.waitForConnected(5000));
        socket.write(line + "\r\nHost: 127.0.0.1\r\n\r\n");
        QByteArray answer;
        waitFor([&] {
            answer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState || answer.contains("</html>");
        });
        return answer.left(answer.indexOf("\r\n"));
    };
    EXPECT_EQ(request("GET /favicon.ico HTTP/1.1"), "HTTP/1.1 404 Not Found");
    EXPECT_TRUE(redirects.isEmpty()) << "the browser's other requests do not end the wait";
    EXPECT_EQ(request("GET /?code=c%2B1&state=s&error_description=said+no HTTP/1.1"), "HTTP/1.1 200 OK");
    EXPECT_EQ(request("GET /?code=forged&state=s HTTP/1.1"), "HTTP/1.1 409 Conflict");
    ASSERT_EQ(redirects.size(), 1);
    EXPECT_EQ(redirects[0].queryItemValue("code", QUrl::FullyDecoded), "c+1");
    EXPECT_EQ(redirects[0].queryItemValue("error_description", QUrl::FullyDecoded), "said no");
}

TEST_F(OAuthSignInTest, ASignInKeepsTheRefreshTokenAndHoldsTheAccessToken)
{
    const TOAuthTokenSource::SignInResult result = signIn();
    ASSERT_EQ(result.failure, "");
    EXPECT_EQ(result.storeError, "");
    ASSERT_EQ(browser.opened.size(), 1);
    const QUrlQuery asked(browser.opened[0]);
    EXPECT_EQ(asked.queryItemValue("code_challenge_method"), "S256");
    EXPECT_EQ(asked.queryItemValue("login_hint", QUrl::FullyDecoded), User);
    EXPECT_EQ(asked.queryItemValue("scope", QUrl::FullyDecoded), provider.scope);
    EXPECT_EQ(server.count("code_grants"), 1) << "the provider took our verifier and redirect";
    EXPECT_TRUE(browser.lastPage.contains("You can close this window"));

    const QString kept = vault->secrets.value(provider.AccountKey(User));
    EXPECT_TRUE(kept.startsWith("rt-")) << kept.toStdString();
    EXPECT_TRUE(tokens.SignedIn(provider, User));
    QString failure;
    const std::optional<QString> access = tokens.accessToken(false, failure);
    ASSERT_TRUE(access) << failure.toStdString();
    EXPECT_TRUE(access->startsWith("at-"));
    EXPECT_EQ(server.count("refresh_grants"), 0) << "the token of the sign-in is used while it lasts";
}

// Each way a sign-in can go wrong says what happened and keeps nothing.
TEST_F(OAuthSignInTest, AFailedSignInSaysWhyAndKeepsNothing)
{
    const struct
    {
        const char *name;
        std::function<void()> arrange;
        const char *expected;
    } cases[] = {
        {"wrong state", [&] { browser.behaviour = TestBrowser::Behaviour::WrongState; },
         "The sign-in was refused: the browser's answer does not belong to this sign-in (its state does not match)"},
        {"no code", [&] { browser.behaviour = TestBrowser::Behaviour::DropCode; }, "sent no authorization code"},
        {"denied", [&] { server.control("deny"); },
         "sent no authorization code (access_denied: The user said no)"},
        {"code refused", [&] { server.control("refuse_code"); },
         "The sign-in failed: 127.0.0.1 refused: invalid_grant: The code was refused"},
        {"provider down",
         [&] {
             QTcpServer closed;
             ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
             provider.tokenEndpoint = QStringLiteral("http://127.0.0.1:%1/token").arg(closed.serverPort());
         },
         "The sign-in failed: 127.0.0.1 could not be reached (Connection refused)"},
        {"browser closed",
         [&] {
             browser.behaviour = TestBrowser::Behaviour::Close;
             tokens.Browser().TimeoutSeconds = 1;
         },
         "The sign-in did not end within 1 seconds: the browser was closed or the sign-in given up"},
        {"cancelled",
         [&] {
             browser.behaviour = TestBrowser::Behaviour::Close;
             QTimer::singleShot(50, [&] { tokens.Browser().Cancel(); });
         },
         "The sign-in was cancelled"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const TOAuthProvider kept = provider;
        c.arrange();
        const TOAuthTokenSource::SignInResult result = signIn();
        EXPECT_TRUE(result.failure.contains(c.expected)) << result.failure.toStdString();
        EXPECT_TRUE(vault->secrets.isEmpty());
        EXPECT_FALSE(tokens.Browser().Running());
        provider = kept;
        server.control("reset");
        browser.behaviour = TestBrowser::Behaviour::Follow;
        tokens.Browser().TimeoutSeconds = TOAuthSignIn::DefaultTimeoutSeconds;
    }
    QString failure;
    login.MayAsk = false;
    tokens.setAccount(provider, User);
    EXPECT_FALSE(tokens.accessToken(false, failure)) << "no token was held from a failed sign-in";
    EXPECT_TRUE(failure.startsWith("Nobody has signed in")) << failure.toStdString();
}

TEST_F(OAuthSignInTest, TheAccessTokenIsRefreshedBeforeItExpiresOrWhenRenewed)
{
    MockClock clock(QDateTime::currentDateTime());
    ASSERT_EQ(signIn().failure, "");
    QString failure;
    const QString first = tokens.accessToken(false, failure).value_or("none");
    clock.advanceSeconds(530);
    EXPECT_EQ(tokens.accessToken(false, failure).value_or("none"), first) << "still 70 seconds to go";
    clock.advanceSeconds(20);
    const QString second = tokens.accessToken(false, failure).value_or("none");
    EXPECT_NE(second, first) << "within the last minute a new one is had";
    EXPECT_TRUE(second.startsWith("at-")) << failure.toStdString();
    EXPECT_EQ(server.count("refresh_grants"), 1);
    const QString third = tokens.accessToken(true, failure).value_or("none");
    EXPECT_NE(third, second) << "a token the server refused is renewed at once";
    EXPECT_EQ(server.count("refresh_grants"), 2);
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(OAuthSignInTest, ARevokedSignInFailsTheAgentAndAsksTheMailer)
{
    ASSERT_EQ(signIn().failure, "");
    server.control("revoke");
    const QString kept = vault->secrets.value(provider.AccountKey(User));

    login.MayAsk = false;
    QString failure;
    EXPECT_FALSE(tokens.accessToken(true, failure));
    EXPECT_EQ(failure, "The sign-in to 127.0.0.1 as 'ann@example.org' is no longer accepted (127.0.0.1 refused: "
                       "invalid_grant: Token has been expired or revoked.): sign in from the mailer under File > "
                       "Network Settings");
    EXPECT_TRUE(tokens.NeedsSignIn());
    EXPECT_EQ(browser.opened.size(), 1) << "the agent never opens a browser";
    EXPECT_TRUE(prompts.shown().isEmpty());

    login.MayAsk = true;
    prompts.answer(PromptAnswer::No);
    EXPECT_FALSE(tokens.accessToken(true, failure));
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_TRUE(prompts.shown()[0].text.endsWith(". Sign in in the browser now?"));
    EXPECT_TRUE(failure.endsWith(": not signed in again"));
    EXPECT_EQ(vault->secrets.value(provider.AccountKey(User)), kept) << "a refusal changes nothing kept";

    prompts.answer(PromptAnswer::Yes);
    const std::optional<QString> access = tokens.accessToken(true, failure);
    ASSERT_TRUE(access) << failure.toStdString();
    EXPECT_EQ(browser.opened.size(), 2);
    EXPECT_NE(vault->secrets.value(provider.AccountKey(User)), kept);
    EXPECT_FALSE(tokens.NeedsSignIn());
}

TEST_F(OAuthSignInTest, WithoutAUsableSignInTheAgentGetsNoTokenAndSaysWhy)
{
    login.MayAsk = false;
    tokens.setAccount(provider, User);
    QString failure;
    EXPECT_FALSE(tokens.accessToken(false, failure));
    EXPECT_EQ(failure, "Nobody has signed in to 127.0.0.1 as 'ann@example.org' yet: sign in from the mailer under "
                       "File > Network Settings");
    TOAuthProvider plain = provider;
    plain.tokenEndpoint = "http://id.example.org/token";
    tokens.setAccount(plain, User);
    EXPECT_FALSE(tokens.accessToken(false, failure));
    EXPECT_EQ(failure, "No access token for id.example.org as 'ann@example.org': Enter the provider's token endpoint "
                       "(an https address)")
        << "a refresh token never crosses the network in the clear";
    tokens.setAccount(provider, User);
    vault->available = false;
    EXPECT_FALSE(tokens.accessToken(false, failure));
    EXPECT_EQ(failure, "No access token for 127.0.0.1 as 'ann@example.org': no secret store answers (no store in "
                       "this test)");
}

TEST_F(OAuthSignInTest, WhereNoSecretStoreRunsTheSignInLastsUntilTheProgramEnds)
{
    vault->available = false;
    const TOAuthTokenSource::SignInResult result = signIn();
    EXPECT_EQ(result.failure, "");
    EXPECT_EQ(result.storeError, "no store in this test");
    EXPECT_TRUE(tokens.SignedIn(provider, User));
    QString failure;
    EXPECT_TRUE(tokens.accessToken(true, failure)) << "the refresh token held in memory serves: "
                                                   << failure.toStdString();
    EXPECT_EQ(server.count("refresh_grants"), 1);
    vault->available = true;
    EXPECT_TRUE(vault->secrets.isEmpty());
}

class OAuthClientSecretTest : public OAuthSignInTest
{
protected:
    void SetUp() override { startProvider("s3cret"); }
};

TEST_F(OAuthClientSecretTest, TheClientSecretIsKeptAndSentWithEveryTokenRequest)
{
    const TOAuthTokenSource::SignInResult wrong = signIn("guess");
    EXPECT_EQ(wrong.failure, "The sign-in failed: 127.0.0.1 refused: invalid_client: wrong client secret");
    EXPECT_TRUE(vault->secrets.isEmpty());

    ASSERT_EQ(signIn("s3cret").failure, "");
    EXPECT_EQ(vault->secrets.value(provider.ClientSecretKey()), "s3cret");
    QString failure;
    EXPECT_TRUE(tokens.accessToken(true, failure)) << failure.toStdString();
    EXPECT_EQ(server.count("secret_seen"), 2) << "the code exchange and the refresh";
    ASSERT_EQ(signIn().failure, "") << "an empty secret field uses the kept one";
}

class OAuthRotatingProviderTest : public OAuthSignInTest
{
protected:
    void SetUp() override { startProvider({}, true); }
};

TEST_F(OAuthRotatingProviderTest, ATurnedOverRefreshTokenIsKeptForTheNextRefresh)
{
    ASSERT_EQ(signIn().failure, "");
    const QString first = vault->secrets.value(provider.AccountKey(User));
    QString failure;
    for (int refresh = 1; refresh <= 3; ++refresh) {
        ASSERT_TRUE(tokens.accessToken(true, failure)) << refresh << ": " << failure.toStdString();
        EXPECT_EQ(server.count("refresh_grants"), refresh);
    }
    EXPECT_NE(vault->secrets.value(provider.AccountKey(User)), first);
    EXPECT_EQ(server.count("refused_grants"), 0) << "never a spent token sent";
}

}
