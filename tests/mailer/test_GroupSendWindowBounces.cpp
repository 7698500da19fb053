#include "send/GroupSend.h"
#include "store/SuppressionList.h"
#include "support/MainWindowFixture.h"
#include "support/MemorySecretStore.h"
#include "support/MimeCheck.h"
#include "support/MockClock.h"
#include "support/RealSmtpServer.h"
#include "transport/MessageIds.h"

#include <QLineEdit>
#include <QTimer>

// A group send through the mailer's window against aiosmtpd, as a bulk
// sender's run must go: list headers a strict reader accepts on every
// message, nobody on the suppression list mailed, an address that does not
// exist put on it for the next run, and a server's 421 waited out.

namespace {

constexpr int Members = 50;

// Member i of the group "Big": "refuse" and "throttle" addresses get what
// RealSmtpServer does to them.
QString memberAddress(int i)
{
    if (i == 10)
        return QStringLiteral("refuse10@example.org");
    if (i == 25)
        return QStringLiteral("throttle25@example.org");
    return QStringLiteral("member%1@example.org").arg(i);
}

const QList<int> Suppressed{5, 15, 20, 30, 40};

class GroupSendWindowBouncesTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        QStringList addresses;
        for (int i = 1; i <= Members; ++i)
            addresses.append(memberAddress(i));
        StoreSetup::addGroup(*dm, "Big", addresses);
        dm->StoreListHeaders("Big", true);
        TSuppressionList list(dm->Databas);
        for (const int i : Suppressed)
            list.Add({memberAddress(i), TSuppressionReason::Unsubscribed, {}});
        vault = std::make_shared<MemorySecretStore::Vault>();
        session->SmtpLogin().setStore(std::make_unique<MemorySecretStore>(vault));
        // The server's pause passes in moments: the clock runs a hundred
        // times as fast.
        QObject::connect(&clockTicks, &QTimer::timeout, [this] { clock.advanceSeconds(5); });
        clockTicks.start(50);
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        folder.writeFile("CORVAN.INI", "[DATABAS]\r\nVERSION=1\r\n[SMTP]\r\nSERVER=127.0.0.1\r\nPORT="
                                           + QByteArray::number(server.port())
                                           + "\r\n[PERSONAL]\r\nNAME=Ann Sender\r\nEMAIL=ann@example.org\r\n"
                                             "[UNSUBSCRIBE]\r\nURL=https://example.org/leave?t={token}\r\n");
        session->LoadSettings();
    }
    QStringList sendToBig(const QString &text)
    {
        TF_NewMsg *message = openMessageTo("Big");
        if (!message)
            return {};
        message->e_subject->setText("News");
        message->mo_Message->setPlainText(text);
        return sendAndReadResults();
    }

    MockClock clock{QDateTime::currentDateTime()};
    QTimer clockTicks;
    RealSmtpServer server;
    std::shared_ptr<MemorySecretStore::Vault> vault;
};

TEST_F(GroupSendWindowBouncesTest, ARunKeepsTheListAndItsHeadersAndWaitsOutA421)
{
    const QStringList results = sendToBig("Hello all");
    ASSERT_FALSE(results.isEmpty());
    // 45 not suppressed, of which refuse10 does not exist.
    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 44; }, 10000));
    EXPECT_EQ(results.value(0), "Delivered: 44, refused: 1, deferred and still undelivered: 0, suppressed: 1, skipped: 5");
    EXPECT_EQ(results.value(1), "    suppressed: email nr: 10 refuse10@example.org");
    for (int k = 0; k < Suppressed.size(); ++k)
        EXPECT_EQ(results.value(2 + k), QStringLiteral("    skipped: email nr: %1 %2 (unsubscribed)")
                                            .arg(Suppressed[k])
                                            .arg(memberAddress(Suppressed[k])));

    const QStringList tried = server.recipientsTried();
    for (const int i : Suppressed)
        EXPECT_FALSE(tried.contains(memberAddress(i))) << i;
    EXPECT_EQ(tried.count("throttle25@example.org"), 2) << "the 421, then the same member after the pause";
    EXPECT_EQ(tried.value(tried.indexOf("throttle25@example.org") + 1), "throttle25@example.org");

    QSet<QString> delivered;
    for (const RealSmtpServer::Received &received : server.messages()) {
        const QString to = received.rcptTos.value(0);
        delivered.insert(to);
        const ParsedMessage parsed = parseWithPython(received.data);
        ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
        EXPECT_TRUE(parsed.headerDefects.isEmpty()) << parsed.headerDefects.join("; ").toStdString();
        EXPECT_EQ(parsed.listId, "<big.example.org>");
        const QString token = TMessageIds::tokenOf(parsed.messageId);
        ASSERT_FALSE(token.isEmpty()) << parsed.messageId.toStdString();
        // Unfolded; the folding blank may stay a tab.
        EXPECT_EQ(parsed.listUnsubscribe.simplified(), "<mailto:ann@example.org?subject=unsubscribe%20" + token
                                              + ">, <https://example.org/leave?t=" + token + ">")
            << to.toStdString();
        EXPECT_EQ(parsed.listUnsubscribePost, "List-Unsubscribe=One-Click");
    }
    EXPECT_EQ(delivered.size(), 44) << "every member served once";
    EXPECT_EQ(TSuppressionList(dm->Databas).ReasonFor("refuse10@example.org"), "hard bounce");

    // The next run tries none of the six.
    const qsizetype before = server.recipientsTried().size();
    const QStringList again = sendToBig("Hello again");
    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 88; }, 10000));
    EXPECT_EQ(again.value(0), "Delivered: 44, refused: 0, deferred and still undelivered: 0, suppressed: 0, skipped: 6");
    const QStringList second = server.recipientsTried().mid(before);
    EXPECT_EQ(second.size(), 44);
    EXPECT_FALSE(second.contains("refuse10@example.org"));
}

} // namespace
