#include "support/GroupSendFixture.h"
#include "support/PrivatePostfix.h"

#include <QRegularExpression>

// The group send handed to a real Postfix that this test starts on a
// private port: what the run reports as sent must be what the relay
// queues and delivers, each member's message in the mailbox once.

namespace {

// The envelope recipient of each delivered message, as the delivery agent
// wrote it into the message.
QStringList deliveredTo(const QList<QByteArray> &messages)
{
    QStringList recipients;
    static const QRegularExpression line(QStringLiteral("^Delivered-To: (\\S+)\\r?$"),
                                         QRegularExpression::MultilineOption);
    for (const QByteArray &message : messages) {
        const QRegularExpressionMatch match = line.match(QString::fromLatin1(message));
        recipients.append(match.hasMatch() ? match.captured(1) : QStringLiteral("(none)"));
    }
    recipients.sort();
    return recipients;
}

class PostfixRelayTest : public GroupSendTest
{
protected:
    void SetUp() override
    {
        const QString missing = PrivatePostfix::unavailable();
        if (!missing.isEmpty())
            GTEST_SKIP() << missing.toStdString();
        GroupSendTest::SetUp();
        ASSERT_TRUE(relay.start()) << relay.error().toStdString();
        settings.FSmtpPort = QString::number(relay.port());
        // Postfix starts a server process for the session: real seconds.
        components->Wait1.setInterval(1000);
    }

    // Waits until count messages are in the mailbox (delivery runs after
    // the run has ended), and a moment longer for any that should not be.
    QList<QByteArray> mailbox(int count)
    {
        waitFor([&] { return relay.delivered().size() >= count; }, 30000);
        return relay.delivered();
    }

    PrivatePostfix relay;
};

TEST_F(PostfixRelayTest, EveryMemberOfTheGroupGetsTheMessageInTheRelaysMailbox)
{
    QStringList members;
    for (int i = 1; i <= 120; ++i)
        members.append(QStringLiteral("member%1@example.test").arg(i, 3, 10, QLatin1Char('0')));
    StoreSetup::addGroup(*dm, "Relay", members);

    send("Relay", {"Hello through the relay", ".a line that starts with a dot"});

    EXPECT_EQ(status.activity, "Operation finished");
    EXPECT_FALSE(status.results.value(0).join('\n').contains("ERROR")) << status.results.value(0).join('\n').toStdString();
    EXPECT_EQ(lastMail("Relay"), 0) << "a finished run leaves no resume position";
    const QList<QByteArray> messages = mailbox(members.size());
    EXPECT_EQ(deliveredTo(messages), members) << relay.log().toStdString();
    for (const QByteArray &message : messages) {
        EXPECT_TRUE(message.contains("Subject: Greetings")) << message.toStdString();
        EXPECT_TRUE(message.contains("\n.a line that starts with a dot")) << "the dot taken off again by the relay";
    }
}

TEST_F(PostfixRelayTest, AMemberTheRelayRefusesFailsAloneAndTheOthersAreDelivered)
{
    StoreSetup::addGroup(*dm, "Mixed", {"first@example.test", "someone@elsewhere.test", "third@example.test"});

    send("Mixed");

    const QString results = status.results.value(0).join('\n');
    EXPECT_TRUE(results.contains("ERROR Couldn't send email nr: 2 someone@elsewhere.test")) << results.toStdString();
    EXPECT_TRUE(results.contains("Relay access denied")) << "the relay's own reply is shown: " << results.toStdString();
    EXPECT_EQ(deliveredTo(mailbox(2)), (QStringList{"first@example.test", "third@example.test"}))
        << relay.log().toStdString();
}

} // namespace
