#include "support/MimeCheck.h"
#include "support/SmtpTestFixture.h"

#include <QFile>
#include <QTemporaryDir>

namespace {

const QString Text = QString::fromUtf8("Grüße — “quoted” € 日本 😀");

struct ExtensionsTest : SmtpTest
{
    void offer(const QByteArray &extensions) { server.script("EHLO", "250-test.local\r\n" + extensions); }

    QByteArray mailFrom() const
    {
        for (const QByteArray &command : server.commands())
            if (command.startsWith("MAIL FROM:"))
                return command;
        return {};
    }

    // What the receiving end reads: the parser's text of the only part.
    QString receivedText(int message = 0)
    {
        const ParsedMessage parsed = parseWithPython(server.messages().at(message));
        EXPECT_TRUE(parsed.ok) << parsed.error.toStdString();
        EXPECT_TRUE(parsed.headerDefects.isEmpty()) << parsed.headerDefects.join("; ").toStdString();
        return parsed.parts.isEmpty() ? QString() : parsed.parts.first().text;
    }
};

} // namespace

TEST_F(ExtensionsTest, AServerWithoutEhloIsGreetedWithHelo)
{
    server.script("EHLO", "502 5.5.1 command not implemented");
    body = {Text};
    ASSERT_TRUE(client.Mail()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(server.commands().mid(0, 3),
              (QList<QByteArray>{"EHLO corvane.test", "HELO corvane.test", "MAIL FROM:<sender@corvane.test>"}));
    // Without EHLO nothing is offered: 8-bit text goes quoted-printable.
    EXPECT_TRUE(headerLines().contains("Content-Transfer-Encoding: quoted-printable"));
    EXPECT_EQ(receivedText(), Text + "\r\n");
}

TEST_F(ExtensionsTest, AGreetingRefusedForNowIsNotRetriedWithHelo)
{
    server.script("EHLO", "421 4.3.2 shutting down");
    EXPECT_FALSE(client.Open());
    EXPECT_EQ(client.ErrorMessage(), "421 4.3.2 shutting down");
    EXPECT_EQ(server.commands(), QList<QByteArray>{"EHLO corvane.test"});
}

TEST_F(ExtensionsTest, EightBitTextGoes8bitWhereTheServerTakesIt)
{
    offer("250 8BITMIME");
    body = {Text, "", "second paragraph"};
    ASSERT_TRUE(client.Mail()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(mailFrom(), "MAIL FROM:<sender@corvane.test> BODY=8BITMIME");
    const QList<QByteArray> header = headerLines();
    EXPECT_TRUE(header.contains("Content-Type: text/plain; charset=\"utf-8\""));
    EXPECT_TRUE(header.contains("Content-Transfer-Encoding: 8bit"));
    EXPECT_EQ(bodyLines(), (QList<QByteArray>{Text.toUtf8(), "", "second paragraph"}));
    EXPECT_EQ(receivedText(), Text + "\r\n\r\nsecond paragraph\r\n");
}

TEST_F(ExtensionsTest, PlainAsciiClaimsNoExtensionAndDeclaresNothing)
{
    offer("250-8BITMIME\r\n250 SMTPUTF8");
    body = {"plain"};
    ASSERT_TRUE(client.Mail());
    EXPECT_EQ(mailFrom(), "MAIL FROM:<sender@corvane.test>");
    for (const QByteArray &line : headerLines())
        EXPECT_FALSE(line.startsWith("Content-Transfer-Encoding")) << line.toStdString();
}

TEST_F(ExtensionsTest, AnEightBitMultipartTextPartIsDeclaredAsIt)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromUtf8("Příloha €.txt"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("notes\n");
    file.close();
    client.setEmailFiles({path});
    body = {Text};
    ASSERT_TRUE(client.Mail());
    const QList<QByteArray> lines = bodyLines();
    EXPECT_FALSE(lines.contains("Content-Transfer-Encoding: 7bit")) << "no 7bit over 8-bit octets";
    EXPECT_TRUE(lines.contains("Content-Transfer-Encoding: quoted-printable"));
    EXPECT_TRUE(lines.contains("Content-Type: text/plain;")) << "the type the file's name tells";
    EXPECT_TRUE(lines.contains("\tname=\"Priloha _.txt\""));
    EXPECT_TRUE(lines.contains("\tfilename*=utf-8''P%C5%99%C3%ADloha%20%E2%82%AC.txt"));
    const ParsedMessage parsed = parseWithPython(server.messages().at(0));
    ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
    ASSERT_EQ(parsed.parts.size(), 2);
    EXPECT_EQ(parsed.parts.at(0).text, Text + "\r\n");
    EXPECT_EQ(parsed.parts.at(1).filename, QString::fromUtf8("Příloha €.txt"));
    EXPECT_EQ(parsed.parts.at(1).contentType, "text/plain");
    EXPECT_EQ(parsed.parts.at(1).payload, "notes\n");
}

TEST_F(ExtensionsTest, TheSizeToldIsTheSizeOfTheMessageAsSent)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.bin");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1000, '\x07'));
    file.close();
    offer("250 SIZE 100000");
    client.HdrSubject = QString::fromUtf8("Prüfung € 😀");
    client.HdrTo = "<rcpt@corvane.test>";
    body = {Text, ".starts with a dot", QString(1200, u'y')};
    client.setEmailFiles({path});
    ASSERT_TRUE(client.Mail()) << client.ErrorMessage().toStdString();
    // The octets between DATA and the final dot, dots not doubled.
    EXPECT_EQ(mailFrom(), "MAIL FROM:<sender@corvane.test> SIZE=" + QByteArray::number(server.messages().at(0).size()));
}

TEST_F(ExtensionsTest, AMessageLargerThanTheServerTakesIsRefusedBeforeMailFrom)
{
    offer("250 SIZE 500");
    body = {QString(600, u'z')};
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.Result().kind(), TSmtpResult::Kind::TooLarge);
    EXPECT_TRUE(client.ErrorMessage().contains("larger than the 500 bytes the server '127.0.0.1' takes"))
        << client.ErrorMessage().toStdString();
    EXPECT_EQ(server.commands(), QList<QByteArray>{"EHLO corvane.test"});
    EXPECT_EQ(client.Stage(), 2) << "the session stays for a smaller message";
    body = {"small"};
    EXPECT_TRUE(client.Mail());
}

TEST_F(ExtensionsTest, AnAddressOutsideAsciiTravelsWithSmtpUtf8)
{
    offer("250-8BITMIME\r\n250 SMTPUTF8");
    client.RcptName = {QString::fromUtf8("łukasz@example.org")};
    client.HdrTo = QString::fromUtf8("=?utf-8?B?xYF1a2Fzeg==?= <łukasz@example.org>");
    client.HdrSubject = QString::fromUtf8("Prüfung");
    body = {"plain text"};
    ASSERT_TRUE(client.Mail()) << client.ErrorMessage().toStdString();
    EXPECT_EQ(mailFrom(), "MAIL FROM:<sender@corvane.test> BODY=8BITMIME SMTPUTF8");
    EXPECT_TRUE(server.commands().contains(QString::fromUtf8("RCPT TO:<łukasz@example.org>").toUtf8()));
    const QList<QByteArray> header = headerLines();
    EXPECT_TRUE(header.contains(QString::fromUtf8("To: =?utf-8?B?xYF1a2Fzeg==?= <łukasz@example.org>").toUtf8()))
        << "the address as it is, in UTF-8";
    EXPECT_TRUE(header.contains(QString::fromUtf8("Subject: Prüfung").toUtf8()));
    EXPECT_TRUE(header.contains("Content-Type: text/plain; charset=\"utf-8\""));
}

TEST_F(ExtensionsTest, AnAddressOutsideAsciiFailsBeforeMailFromWhereTheServerTakesNone)
{
    offer("250 8BITMIME");
    client.RcptName = {QString::fromUtf8("łukasz@example.org")};
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.Result().kind(), TSmtpResult::Kind::Refused);
    EXPECT_EQ(client.ErrorMessage(), QString::fromUtf8("Not sent to 'łukasz@example.org': the address has characters "
                                                       "outside ASCII, and the server '127.0.0.1' does not take them "
                                                       "(it offers no SMTPUTF8)"));
    EXPECT_TRUE(shown.contains(client.ErrorMessage()));
    EXPECT_EQ(server.commands(), QList<QByteArray>{"EHLO corvane.test"}) << "not a byte of the message";
    client.RcptName = {"ascii@example.org"};
    EXPECT_TRUE(client.Mail()) << "the next member goes on over the same session";
    EXPECT_EQ(server.connectionCount(), 1);
}
