#include "replies/MailFolder.h"
#include "replies/ReplyNotice.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

bool startsUnsubscribe(const QString &subject)
{
    return subject.startsWith(QLatin1String("unsubscribe 1-"));
}

QByteArray dsn(const char *action, const char *status)
{
    return QByteArray("From: MAILER-DAEMON@example.org\nSubject: failure\n"
                      "Content-Type: multipart/report; report-type=delivery-status; boundary=\"b1\"\n\n"
                      "--b1\nContent-Type: text/plain\n\nIt failed.\n"
                      "--b1\nContent-Type: message/delivery-status\n\nReporting-MTA: dns; mx.example.org\n\n"
                      "Final-Recipient: rfc822; gone@example.org\nAction: ")
           + action + "\nStatus: " + status + "\n\n--b1--\n";
}

QList<MailMessage> readMbox(const QByteArray &bytes)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("mbox"));
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    file.close();
    MailFolder folder;
    EXPECT_TRUE(folder.open(file.fileName()));
    QList<MailMessage> messages;
    MailMessage message;
    while (folder.next(message))
        messages << message;
    return messages;
}

} // namespace

TEST(ReplyNotice, PermanentFailureIsABounceButDelayAndMailboxFullAreNot)
{
    MailMessage message;
    message.kept = dsn("failed", "5.1.1");
    ReplyNotice notice = ReplyNotice::read(message, startsUnsubscribe);
    ASSERT_EQ(notice.kind, ReplyNotice::Kind::Bounces);
    ASSERT_EQ(notice.failures.size(), 1);
    EXPECT_EQ(notice.failures.first().address, "gone@example.org");
    EXPECT_EQ(notice.failures.first().status, "5.1.1");

    for (auto [action, status] : {std::pair{"delayed", "4.2.2"}, {"failed", "5.2.2"}, {"failed", "4.4.7"}}) {
        message.kept = dsn(action, status);
        EXPECT_EQ(ReplyNotice::read(message, startsUnsubscribe).kind, ReplyNotice::Kind::Skipped) << status;
    }
}

TEST(ReplyNotice, ReportCutBeforeItsClosingBoundaryIsSkipped)
{
    MailMessage message;
    const QByteArray whole = dsn("failed", "5.1.1");
    message.kept = whole.left(whole.indexOf("--b1--"));
    message.kept.chop(30);
    EXPECT_EQ(ReplyNotice::read(message, startsUnsubscribe).kind, ReplyNotice::Kind::Skipped);
}

TEST(ReplyNotice, EncodedSubjectIsARequest)
{
    MailMessage message;
    message.kept = "From: a@example.org\nSubject: =?utf-8?B?dW5zdWJzY3JpYmUgMS1hYmM=?=\n\nbye\n";
    const ReplyNotice notice = ReplyNotice::read(message, startsUnsubscribe);
    EXPECT_EQ(notice.kind, ReplyNotice::Kind::Unsubscribe);
    EXPECT_EQ(notice.subject, "unsubscribe 1-abc");
}

TEST(MailFolder, MboxPartsAtFromLinesUnquotesAndMarksACutLastMessage)
{
    const QList<MailMessage> messages = readMbox("From a Thu\nSubject: one\n\n>From here\nFrom inside\n\n"
                                                 "From b Thu\nSubject: two\n\nhalf a li");
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages.at(0).kept, "Subject: one\n\nFrom here\nFrom inside\n\n");
    EXPECT_TRUE(messages.at(0).ended);
    EXPECT_FALSE(messages.at(1).ended);
    EXPECT_EQ(ReplyNotice::read(messages.at(1), startsUnsubscribe).kind, ReplyNotice::Kind::Skipped);
}

TEST(MailFolder, KeepsAtMostTheLimitOfALongMessage)
{
    const QByteArray big = "From x\nSubject: big\n\n" + QByteArray(3 * MailMessage::KeepLimit, 'a') + "\n";
    const QList<MailMessage> messages = readMbox(big);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages.first().cut);
    EXPECT_EQ(messages.first().kept.size(), MailMessage::KeepLimit);
    EXPECT_EQ(messages.first().size, big.size() - 7);
}
