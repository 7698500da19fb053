#include "support/SmtpTestFixture.h"
#include "support/TestCertificates.h"
#include "transport/OAuthSasl.h"

#include <gtest/gtest.h>

// The OAuth 2.0 login as written on the wire, under implicit TLS.
namespace {

// Hands out "token-1", "token-2", ...: a new one for each renewal.
struct CountingTokens : SmtpTokenSource
{
    int issued = 0;
    QList<bool> renewals;
    std::optional<QString> accessToken(bool renew, QString &) override
    {
        renewals.append(renew);
        if (renew || issued == 0)
            ++issued;
        return QStringLiteral("token-%1").arg(issued);
    }
};

QByteArray xoauth2(const QByteArray &token)
{
    return "AUTH XOAUTH2 " + ("user=ann@example.com\x01" "auth=Bearer " + token + "\x01\x01").toBase64();
}

const QByteArray StaleChallenge = "334 " + QByteArray(R"({"status":"401","schemes":"Bearer","scope":"https://mail.google.com/"})").toBase64();

class SmtpOAuthTest : public SmtpTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ca.error().isEmpty()) << ca.error().toStdString();
        server.setTls(certificate.certificateFile, certificate.keyFile, true);
        client.Host = "localhost";
        client.Security = TSmtpSecurity::Ssl;
        client.UserName = "ann@example.com";
        client.TokenSource = &tokens;
    }

    TestCertificates ca;
    TestCertificates::Server certificate = ca.server("localhost", {"localhost", "127.0.0.1"});
    TestCertificates::TrustScope trust{ca.caFile()};
    CountingTokens tokens;
};

TEST_F(SmtpOAuthTest, XOAuth2IsPreferredAndItsTokenNeverShown)
{
    server.script("EHLO", "250-test.local\r\n250 AUTH PLAIN OAUTHBEARER XOAUTH2");
    server.script("AUTH", "235 2.7.0 accepted");
    ASSERT_TRUE(client.Open()) << client.ErrorMessage().toStdString();
    client.Quit();
    EXPECT_EQ(server.commands(), (QList<QByteArray>{"<TLS>", "EHLO corvane.test", xoauth2("token-1"), "QUIT"}));
    EXPECT_TRUE(shown.contains("> AUTH XOAUTH2 (credentials not shown)"));
    EXPECT_FALSE(shown.join('\n').contains("token-1"));
    EXPECT_FALSE(shown.join('\n').contains(QString::fromLatin1(xoauth2("token-1").mid(13))));
}

TEST_F(SmtpOAuthTest, AStaleTokenIsAnsweredRenewedAndTriedOnceMore)
{
    server.script("EHLO", "250-test.local\r\n250 AUTH XOAUTH2");
    server.script("AUTH", {{StaleChallenge}, {"235 2.7.0 accepted"}});
    server.script("", "535 5.7.8 Username and Password not accepted");
    ASSERT_TRUE(client.Open()) << client.ErrorMessage().toStdString();
    client.Quit();
    EXPECT_EQ(server.commands(), (QList<QByteArray>{"<TLS>", "EHLO corvane.test", xoauth2("token-1"), "",
                                                    xoauth2("token-2"), "QUIT"}));
    EXPECT_EQ(tokens.renewals, (QList<bool>{false, true}));
}

TEST_F(SmtpOAuthTest, OAuthBearerRefusedTwiceFailsWithTheDecodedStatus)
{
    server.script("EHLO", "250-test.local\r\n250 AUTH OAUTHBEARER");
    const QByteArray challenge = "334 " + QByteArray(R"({"status":"invalid_token"})").toBase64();
    server.script("AUTH", {{challenge}, {challenge}});
    server.script("AQ", "535 5.7.8 rejected");
    EXPECT_FALSE(client.Open());
    const QByteArray bearer =
        "AUTH OAUTHBEARER " + QByteArray("n,a=ann@example.com,\x01" "auth=Bearer token-1\x01\x01").toBase64();
    EXPECT_EQ(server.commands().mid(0, 4), (QList<QByteArray>{"<TLS>", "EHLO corvane.test", bearer, "AQ=="}));
    EXPECT_EQ(client.Result().kind(), TSmtpResult::Kind::SessionRefused);
    EXPECT_EQ(client.Result().reason(), "Login as 'ann@example.com' at 'localhost' failed: 535 5.7.8 rejected "
                                        "(the server said: status invalid_token)");
    EXPECT_EQ(tokens.renewals, (QList<bool>{false, true}));
}

TEST_F(SmtpOAuthTest, WithoutAnOAuthMechanismNothingIsSent)
{
    server.script("EHLO", "250-test.local\r\n250 AUTH PLAIN LOGIN");
    EXPECT_FALSE(client.Open());
    EXPECT_TRUE(tokens.renewals.isEmpty());
    EXPECT_EQ(client.Result().reason(),
              "Login at 'localhost' failed: the server offers no OAuth 2.0 login (AUTH XOAUTH2 or OAUTHBEARER)");
}

TEST(OAuthSaslChallenge, OnlyATokenRefusalCountsAsStale)
{
    auto of = [](const char *json) { return OAuthSasl::ErrorChallenge::decode(QByteArray(json).toBase64()); };
    EXPECT_TRUE(of(R"({"status":"401"})").stale());
    EXPECT_TRUE(of(R"({"status":401})").stale());
    EXPECT_TRUE(of("not json").stale());
    EXPECT_FALSE(of(R"({"status":"insufficient_scope","scope":"x"})").stale());
    EXPECT_EQ(of(R"({"status":"400","scope":"s"})").describe(), "status 400, scope s");
}

}
