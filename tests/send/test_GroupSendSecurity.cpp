#include "support/GroupSendFixture.h"
#include "support/MemorySecretStore.h"
#include "support/RealSmtpServer.h"
#include "support/TestCertificates.h"

// The group send over TLS and with a login, against aiosmtpd with a
// certificate of a throwaway authority: the password comes from the secret
// store (here one in memory), never shows in the log or the results, and a
// session that cannot be had as set up sends nothing.

namespace {

const QString Password = QStringLiteral("s3cret pa55");

TestCertificates &certificates()
{
    static TestCertificates made;
    return made;
}

class GroupSendSecurityTest : public GroupSendTest
{
protected:
    void SetUp() override
    {
        GroupSendTest::SetUp();
        ASSERT_TRUE(certificates().error().isEmpty()) << certificates().error().toStdString();
        components->Login.setStore(std::make_unique<MemorySecretStore>(vault));
        vault->secrets.insert(TSmtpLogin::KeyFor("127.0.0.1", "ann"), Password);
        StoreSetup::addGroup(*dm, "Three", {"a@x.org", "b@x.org", "c@x.org"});
    }

    // A real server that wants TLS and the login; the run is set up to match.
    void startRealServer(bool implicit, const QString &serverPassword = Password)
    {
        const TestCertificates::Server certificate = certificates().server("local", {"127.0.0.1"});
        ASSERT_TRUE(real.start({certificate.certificateFile, certificate.keyFile, implicit, "ann", serverPassword}))
            << real.error().toStdString();
        settings.FSmtpPort = QString::number(real.port());
        settings.FSmtpSecurity = implicit ? "SSL" : "STARTTLS";
        settings.FSmtpUser = "ann";
    }

    QStringList delivered()
    {
        QStringList result;
        for (const RealSmtpServer::Received &received : real.messages())
            result += received.rcptTos;
        return result;
    }

    // The session log and the results as the user sees them.
    QString everythingShown() const
    {
        QStringList all = run->FResultLog.lines() + prompts.texts();
        for (const QStringList &results : status.results)
            all += results;
        return all.join('\n');
    }

    void expectNoPasswordShown() const
    {
        const QString shown = everythingShown();
        EXPECT_FALSE(shown.contains(Password));
        EXPECT_FALSE(shown.contains(QString::fromLatin1((QByteArray("\0ann\0", 5) + Password.toUtf8()).toBase64())));
        EXPECT_FALSE(shown.contains(QString::fromLatin1(Password.toUtf8().toBase64())));
    }

    std::shared_ptr<MemorySecretStore::Vault> vault = std::make_shared<MemorySecretStore::Vault>();
    TestCertificates::TrustScope trust{certificates().caFile()};
    RealSmtpServer real;
};

TEST_F(GroupSendSecurityTest, StartTlsWithALoginReachesARealServer)
{
    startRealServer(false);
    send("Three");
    ASSERT_TRUE(waitFor([&] { return real.messages().size() == 3; }, 10000)) << everythingShown().toStdString();
    EXPECT_EQ(delivered(), QStringList({"a@x.org", "b@x.org", "c@x.org"}));
    ASSERT_EQ(status.results.size(), 1);
    const QString log = status.results.first().join('\n');
    EXPECT_TRUE(log.contains("> EHLO ")) << log.toStdString();
    EXPECT_TRUE(log.contains("> STARTTLS"));
    EXPECT_TRUE(log.contains("Encrypted with TLSv1."));
    EXPECT_TRUE(log.contains("> AUTH PLAIN (credentials not shown)"));
    EXPECT_FALSE(log.contains("ERROR"));
    EXPECT_TRUE(prompts.shown().isEmpty());
    expectNoPasswordShown();
}

TEST_F(GroupSendSecurityTest, ImplicitTlsWithALoginReachesARealServer)
{
    startRealServer(true);
    send("Three");
    ASSERT_TRUE(waitFor([&] { return real.messages().size() == 3; }, 10000)) << everythingShown().toStdString();
    EXPECT_EQ(delivered(), QStringList({"a@x.org", "b@x.org", "c@x.org"}));
    EXPECT_FALSE(everythingShown().contains("STARTTLS"));
    expectNoPasswordShown();
}

TEST_F(GroupSendSecurityTest, AWrongPasswordSendsNothingAndTellsTheServersReply)
{
    startRealServer(false, "another password");
    send("Three");
    EXPECT_TRUE(real.messages().isEmpty());
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown()[0].text.startsWith("Login as 'ann' at '127.0.0.1' failed: 535"))
        << prompts.shown()[0].text.toStdString();
    EXPECT_TRUE(run->FResultLog.lines().contains(prompts.shown()[0].text)) << "in the results too";
    EXPECT_FALSE(everythingShown().contains("Operation finished"));
    expectNoPasswordShown();
}

TEST_F(GroupSendSecurityTest, AnUntrustedCertificateEndsTheSessionBeforeAnythingIsSent)
{
    startRealServer(true);
    qunsetenv("SSL_CERT_FILE");
    qputenv("SSL_CERT_DIR", QByteArray(folder.path().toLocal8Bit()));
    send("Three");
    qunsetenv("SSL_CERT_DIR");
    EXPECT_TRUE(real.messages().isEmpty());
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].text,
              "Secure connection to '127.0.0.1' failed: unable to get local issuer certificate");
    EXPECT_FALSE(everythingShown().contains("AUTH"));
}

TEST_F(GroupSendSecurityTest, AServerWithoutStartTlsIsRefusedBeforeMail)
{
    ASSERT_TRUE(real.start());
    settings.FSmtpPort = QString::number(real.port());
    settings.FSmtpSecurity = "STARTTLS";
    settings.FSmtpUser = "ann";
    send("Three");
    EXPECT_TRUE(real.messages().isEmpty());
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].text,
              "Secure connection to '127.0.0.1' failed: the server does not offer STARTTLS");
    EXPECT_FALSE(everythingShown().contains("MAIL FROM"));
    EXPECT_FALSE(everythingShown().contains("AUTH"));
}

TEST_F(GroupSendSecurityTest, WithSecurityNoneAndNoUserTheWireIsAsBefore)
{
    settings.FSmtpSecurity = "NONE";
    send("Three");
    EXPECT_EQ(server.messageCount(), 3);
    const QList<QByteArray> commands = server.commands();
    ASSERT_FALSE(commands.isEmpty());
    // EHLO only learns what the server takes; nothing of security follows.
    EXPECT_TRUE(commands.first().startsWith("EHLO ")) << commands.first().toStdString();
    for (const QByteArray &command : commands) {
        EXPECT_FALSE(command.startsWith("AUTH")) << command.toStdString();
        EXPECT_FALSE(command.startsWith("STARTTLS")) << command.toStdString();
    }
    EXPECT_EQ(vault->reads, 0) << "no login, no look into the secret store";
}

TEST_F(GroupSendSecurityTest, AnUnknownSecurityIsRefusedRatherThanGuessed)
{
    settings.FSmtpSecurity = "TLS";
    send("Three");
    EXPECT_EQ(server.connectionCount(), 0);
    EXPECT_EQ(prompts.texts(), QStringList{"Must choose Security None, STARTTLS or SSL/TLS in Network settings!"});
}

TEST_F(GroupSendSecurityTest, WithoutAStoredPasswordTheMailerAsksOnceForThisRun)
{
    vault->available = false;
    startRealServer(false);
    prompts.answerPassword(Password);
    send("Three");
    ASSERT_TRUE(waitFor([&] { return real.messages().size() == 3; }, 10000)) << everythingShown().toStdString();
    EXPECT_EQ(prompts.passwordQuestions(), QStringList{"Password for 'ann' at '127.0.0.1':"});

    send("Three");
    ASSERT_TRUE(waitFor([&] { return real.messages().size() == 6; }, 10000)) << everythingShown().toStdString();
    EXPECT_EQ(prompts.passwordQuestions().size(), 1) << "kept in memory for the rest of the run";
    expectNoPasswordShown();
}

TEST_F(GroupSendSecurityTest, ACancelledPasswordQuestionStartsNoSession)
{
    vault->secrets.clear();
    startRealServer(false);
    prompts.answerPassword(std::nullopt);
    send("Three");
    EXPECT_EQ(prompts.texts(), QStringList{"No password for 'ann' at '127.0.0.1': none was given"});
    EXPECT_TRUE(run->FResultLog.lines().contains("No password for 'ann' at '127.0.0.1': none was given"));
    EXPECT_TRUE(real.messages().isEmpty());
}

TEST_F(GroupSendSecurityTest, AProgramThatMayNotAskFailsWithAClearLine)
{
    // As the agent does: nobody is there to answer.
    components->Login.MayAsk = false;
    vault->available = false;
    startRealServer(false);
    send("Three");
    EXPECT_TRUE(prompts.passwordQuestions().isEmpty());
    EXPECT_TRUE(run->FResultLog.lines().contains(
        "No password for 'ann' at '127.0.0.1': no secret store answers (no store in this test)"))
        << run->FResultLog.lines().join('\n').toStdString();
    EXPECT_TRUE(real.messages().isEmpty());
}

}
