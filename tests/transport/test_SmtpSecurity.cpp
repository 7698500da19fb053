#include "support/TestCertificates.h"
#include "support/WaitFor.h"
#include "support/SmtpTestFixture.h"
#include "transport/WSocket.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimer>
#include <cctype>

// The session over TLS and with a login, as written on the wire: the
// scripted server decrypts what it reads and marks where TLS began.
namespace {

struct Certificates
{
    TestCertificates ca;
    TestCertificates::Server localhost = ca.server("localhost", {"localhost", "127.0.0.1"});
    TestCertificates::Server otherHost = ca.server("other", {"mail.other.example"});
    TestCertificates::Server selfSigned = ca.server("self", {"localhost"}, false);
};

Certificates &certificates()
{
    static Certificates made;
    return made;
}

// The scripted server takes the letters a line starts with as its verb.
QByteArray verbOf(const QByteArray &line)
{
    qsizetype letters = 0;
    while (letters < line.size() && std::isalpha(static_cast<unsigned char>(line.at(letters))))
        ++letters;
    return line.left(letters).toUpper();
}

const QByteArray Password = "s3cret pass";

class SmtpSecurityTest : public SmtpTest
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(certificates().ca.error().isEmpty()) << certificates().ca.error().toStdString();
        client.Host = "localhost";
        client.UserName = "ann";
        client.Password = QString::fromLatin1(Password);
    }

    void serveTls(const TestCertificates::Server &certificate, bool implicit)
    {
        server.setTls(certificate.certificateFile, certificate.keyFile, implicit);
    }

    // Why the last Open or Mail could not have the session it asked for;
    // empty when it failed otherwise or did not fail.
    QString securityFailure() const
    {
        return client.Result().kind() == TSmtpResult::Kind::SessionRefused ? client.Result().reason() : QString();
    }

    void expectNoSecretShown() const
    {
        const QString log = shown.join('\n');
        EXPECT_FALSE(log.contains(QString::fromLatin1(Password)));
        EXPECT_FALSE(log.contains(QString::fromLatin1((QByteArray("\0ann\0", 5) + Password).toBase64())));
        EXPECT_FALSE(log.contains(QString::fromLatin1(Password.toBase64())));
    }

    TestCertificates::TrustScope trust{certificates().ca.caFile()};
};

TEST_F(SmtpSecurityTest, StartTlsThenLoginUnderTlsOnly)
{
    client.Security = TSmtpSecurity::StartTls;
    serveTls(certificates().localhost, false);
    // What is offered in the clear (LOGIN only) must not count under TLS.
    server.script("EHLO", {{"250-test.local\r\n250-STARTTLS\r\n250 AUTH LOGIN"}, {"250-test.local\r\n250 AUTH PLAIN LOGIN"}});
    server.script("AUTH", "235 2.7.0 accepted");
    body = {"Hello"};
    ASSERT_TRUE(client.Open()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(client.Socket()->Encrypted());
    ASSERT_TRUE(client.Mail()) << client.ErrorMessage().toStdString();
    EXPECT_TRUE(client.Quit());

    const QList<QByteArray> commands = server.commands();
    ASSERT_EQ(commands.size(), 9);
    EXPECT_EQ(commands.mid(0, 6), (QList<QByteArray>{"EHLO corvane.test", "STARTTLS", "<TLS>", "EHLO corvane.test",
                                                     "AUTH PLAIN " + (QByteArray("\0ann\0", 5) + Password).toBase64(),
                                                     "MAIL FROM:<sender@corvane.test>"}));
    EXPECT_EQ(bodyLines(), QList<QByteArray>{"Hello"});
    EXPECT_TRUE(shown.contains("> AUTH PLAIN (credentials not shown)"));
    EXPECT_TRUE(shown.filter(QRegularExpression("^Encrypted with TLSv1\\.[23], ")).size() == 1) << shown.join('\n').toStdString();
    EXPECT_TRUE(securityFailure().isEmpty());
    expectNoSecretShown();
}

TEST_F(SmtpSecurityTest, ImplicitTlsWithLoginWhereOnlyLoginIsOffered)
{
    client.Security = TSmtpSecurity::Ssl;
    serveTls(certificates().localhost, true);
    const QByteArray user = QByteArray("ann").toBase64();
    const QByteArray password = Password.toBase64();
    server.script("EHLO", "250-test.local\r\n250 AUTH=LOGIN");
    server.script("AUTH", "334 VXNlcm5hbWU6");
    server.script(verbOf(user), "334 UGFzc3dvcmQ6");
    server.script(verbOf(password), "235 2.7.0 accepted");
    ASSERT_TRUE(client.Open()) << client.ErrorMessage().toStdString();
    client.Quit();

    EXPECT_EQ(server.commands(),
              (QList<QByteArray>{"<TLS>", "EHLO corvane.test", "AUTH LOGIN", user, password, "QUIT"}));
    EXPECT_TRUE(shown.contains("> (user name not shown)"));
    EXPECT_TRUE(shown.contains("> (password not shown)"));
    expectNoSecretShown();
}

TEST_F(SmtpSecurityTest, ImplicitTlsWithoutLoginGreetsWithEhlo)
{
    client.Security = TSmtpSecurity::Ssl;
    client.UserName.clear();
    serveTls(certificates().localhost, true);
    ASSERT_TRUE(client.Open()) << client.ErrorMessage().toStdString();
    ASSERT_TRUE(client.Mail());
    client.Quit();
    EXPECT_EQ(server.commands().mid(0, 3),
              (QList<QByteArray>{"<TLS>", "EHLO corvane.test", "MAIL FROM:<sender@corvane.test>"}));
}

TEST_F(SmtpSecurityTest, ARefusedLoginEndsTheSessionWithTheServersReply)
{
    client.Security = TSmtpSecurity::Ssl;
    serveTls(certificates().localhost, true);
    server.script("EHLO", "250-test.local\r\n250 AUTH PLAIN");
    server.script("AUTH", "535 5.7.8 Authentication credentials invalid");
    const QString failure = "Login as 'ann' at 'localhost' failed: 535 5.7.8 Authentication credentials invalid";

    EXPECT_FALSE(client.Open());
    EXPECT_EQ(securityFailure(), failure);
    EXPECT_EQ(client.ErrorMessage(), failure);
    EXPECT_EQ(shown.last(), failure);
    EXPECT_EQ(client.Stage(), 0);

    // Mail opens a session of its own, which is refused the same way.
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.Result().reason(), failure);
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(server.messageCount(), 0);
    for (const QByteArray &command : server.commands())
        EXPECT_FALSE(command.startsWith("MAIL")) << command.toStdString();
    expectNoSecretShown();
}

TEST_F(SmtpSecurityTest, StartTlsNotOfferedOrRefusedEndsTheSessionBeforeAnyLogin)
{
    client.Security = TSmtpSecurity::StartTls;
    serveTls(certificates().localhost, false);
    server.script("EHLO", {{"250-test.local\r\n250 AUTH PLAIN"}, {"250-test.local\r\n250-STARTTLS\r\n250 AUTH PLAIN"}});
    server.script("STARTTLS", "454 4.7.0 TLS not available due to temporary reason");

    EXPECT_FALSE(client.Open());
    EXPECT_EQ(securityFailure(), "Secure connection to 'localhost' failed: the server does not offer STARTTLS");
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(securityFailure(),
              "Secure connection to 'localhost' failed: 454 4.7.0 TLS not available due to temporary reason");
    EXPECT_EQ(server.commands(), (QList<QByteArray>{"EHLO corvane.test", "EHLO corvane.test", "STARTTLS"}));
}

TEST_F(SmtpSecurityTest, ALoginIsNeverTriedWithoutTls)
{
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(securityFailure(),
              "Login as 'ann' at 'localhost' not tried: Security is None, and a password is never sent unencrypted");
    EXPECT_EQ(server.connectionCount(), 0);

    client.Security = TSmtpSecurity::Ssl;
    serveTls(certificates().localhost, true);
    server.script("EHLO", "250-test.local\r\n250 AUTH CRAM-MD5");
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(securityFailure(),
              "Login at 'localhost' failed: the server offers no login by AUTH PLAIN or LOGIN");
    EXPECT_EQ(server.commands(), (QList<QByteArray>{"<TLS>", "EHLO corvane.test"}));
}

TEST_F(SmtpSecurityTest, TheCertificateMustBeTrustedAndNameTheServer)
{
    client.Security = TSmtpSecurity::Ssl;
    client.UserName.clear();
    auto refusal = [&](const TestCertificates::Server &certificate) {
        serveTls(certificate, true);
        shown.clear();
        const bool opened = client.Open();
        EXPECT_FALSE(opened);
        EXPECT_FALSE(shown.join('\n').contains("Encrypted"));
        return securityFailure();
    };
    EXPECT_EQ(refusal(certificates().selfSigned), "Secure connection to 'localhost' failed: self-signed certificate");
    EXPECT_EQ(refusal(certificates().otherHost), "Secure connection to 'localhost' failed: host name mismatch");
    client.Host = "127.0.0.1";
    EXPECT_EQ(refusal(certificates().otherHost), "Secure connection to '127.0.0.1' failed: address mismatch");
    {
        qunsetenv("SSL_CERT_FILE");
        EXPECT_EQ(refusal(certificates().localhost),
                  "Secure connection to '127.0.0.1' failed: unable to get local issuer certificate");
    }
    // The server notes its side of a failed handshake after the client has given up.
    waitFor([&] { return server.commands().size() >= 4; });
    EXPECT_EQ(server.commands(), (QList<QByteArray>(4, "<TLS failed>")));
    EXPECT_EQ(shown.last(), client.ErrorMessage());

    // The same certificate, trusted, names the address too.
    qputenv("SSL_CERT_FILE", certificates().ca.caFile().toLocal8Bit());
    serveTls(certificates().localhost, true);
    EXPECT_TRUE(client.Open()) << client.ErrorMessage().toStdString();
    client.Quit();
}

TEST_F(SmtpSecurityTest, TlsToAServerSpeakingPlainSmtp)
{
    client.Security = TSmtpSecurity::Ssl;
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(securityFailure(),
              "Secure connection to 'localhost' failed: the server does not speak TLS on this port");
    // Only the TLS hello reached the server: no command in the clear.
    EXPECT_FALSE(server.received().contains("HELO"));
    EXPECT_FALSE(server.received().contains("EHLO"));
}

TEST_F(SmtpSecurityTest, DataSentBeforeTheHandshakeIsRefused)
{
    // Lines slipped in after the reply to STARTTLS would otherwise read as
    // if the server had said them under TLS.
    client.Security = TSmtpSecurity::StartTls;
    serveTls(certificates().localhost, false);
    server.script("EHLO", "250-test.local\r\n250-STARTTLS\r\n250 AUTH PLAIN");
    server.script("STARTTLS", "220 go ahead\r\n250-test.local\r\n250 AUTH PLAIN");
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(securityFailure(),
              "Secure connection to 'localhost' failed: the server sent data before the handshake");
    EXPECT_FALSE(server.commands().contains("<TLS>"));
}

// A server that says yes to STARTTLS and then nothing more.
class SilentHandshakeTest : public SmtpSecurityTest
{
protected:
    void SetUp() override
    {
        SmtpSecurityTest::SetUp();
        client.Security = TSmtpSecurity::StartTls;
        server.script("EHLO", "250-test.local\r\n250 STARTTLS");
        ScriptedSmtpServer::Reply goAhead{"220 go ahead"};
        goAhead.stopReading = true;
        server.script("STARTTLS", {goAhead});
    }
};

TEST_F(SilentHandshakeTest, TheHandshakeTimesOut)
{
    client.TimeOut = 40;
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(securityFailure(), "Secure connection to 'localhost' failed: no answer within the time-out");
    EXPECT_EQ(client.Stage(), 0);
}

TEST_F(SilentHandshakeTest, CancelEndsTheHandshake)
{
    client.TimeOut = 4000; // 20 s: the cancel has to end it
    QElapsedTimer clock;
    clock.start();
    QTimer::singleShot(0, [&] { client.Cancel(); });
    EXPECT_FALSE(client.Open());
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(securityFailure(), "Secure connection to 'localhost' failed: cancelled");
    client.Abort();
}

TEST_F(SmtpSecurityTest, BytesWaitingCountDecryptedBytesLeftInTheSession)
{
    serveTls(certificates().localhost, true);
    server.script("CONNECT", "220-first\r\n220 second");
    TWSocket socket;
    socket.setWaitCtrl(&wait);
    socket.setPort(server.portText());
    socket.setAddr("127.0.0.1");
    socket.Connect();
    ASSERT_TRUE(socket.Wait(400, wsConnected));
    ASSERT_TRUE(socket.StartTls(400, "127.0.0.1")) << socket.TlsFailure().toStdString();
    QByteArray line;
    socket.ReadLine(400, line);
    EXPECT_EQ(line, "220-first");
    EXPECT_EQ(socket.RcvdCount(), int(strlen("220 second\r\n")));
    socket.ReadLine(400, line);
    EXPECT_EQ(line, "220 second");
    EXPECT_EQ(socket.RcvdCount(), 0);
    EXPECT_EQ(socket.ReadCount(), int(strlen("220-first\r\n220 second\r\n")));
    EXPECT_FALSE(socket.StartTls(400, "127.0.0.1")) << "only once per connection";
    socket.Close();
}

} // namespace
