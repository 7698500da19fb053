#include "support/MimeCheck.h"
#include "support/SmtpTestFixture.h"

#include <cstring>

TEST_F(SmtpTest, EnvelopeAddressesThatCouldInjectCommandsAreRefused)
{
    ASSERT_TRUE(client.Open());
    const QList<QByteArray> before = server.commands();

    client.FromName = "a@x>\r\nRCPT TO:<evil@y";
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.ErrorMessage(), "Invalid address 'a@x>\\r\\nRCPT TO:<evil@y'");

    client.FromName = "sender@corvane.test";
    for (const QString bad : {"evil@y>", "<evil@y", "evil@y\nDATA", "evil@y\r"}) {
        client.RcptName = {"good@x", bad};
        EXPECT_FALSE(client.Mail()) << bad.toStdString();
        EXPECT_TRUE(client.ErrorMessage().startsWith("Invalid address '")) << client.ErrorMessage().toStdString();
    }
    EXPECT_EQ(server.commands(), before);
    EXPECT_EQ(client.Stage(), 2);
}

TEST_F(SmtpTest, RefusedAddressesSendNothingAtAllWhenNotConnected)
{
    client.RcptName = {"x@y>"};
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(SmtpTest, LineBreaksInHeaderTextsCannotStartHeaderLines)
{
    client.HdrSubject = "Hi\r\nBcc: victim@x";
    client.HdrFrom = "Me\nX-Evil: 1";
    client.HdrTo = "You\r";
    client.SignOn = "host\r\nMAIL FROM:<x@y>";
    ASSERT_TRUE(client.Mail());
    const QList<QByteArray> header = headerLines();
    EXPECT_EQ(header.at(0), "From: Me X-Evil: 1");
    EXPECT_EQ(header.at(1), "To: You ");
    EXPECT_EQ(header.at(2), "Subject: Hi  Bcc: victim@x");
    EXPECT_EQ(server.commands().first(), "EHLO host  MAIL FROM:<x@y>");
}

TEST_F(SmtpTest, LineBreaksInsideABodyLineCannotEndTheData)
{
    body = {"one\r\n.\r\nMAIL FROM:<x@y>", "two"};
    ASSERT_TRUE(client.Mail());
    EXPECT_EQ(bodyLines(), (QList<QByteArray>{"one  .  MAIL FROM:<x@y>", "two"}));
    EXPECT_EQ(server.messageCount(), 1);
}

TEST_F(SmtpTest, NonAsciiHeadersAreEncodedWordsAndBodyLinesUseTheCharset)
{
    client.HdrSubject = QString::fromUtf8("Grüße från Åsa, ünd so weiter und so weiter und so weiter bis es lang wird");
    client.HdrFrom = QString::fromUtf8("Jöns Öberg <jons@corvane.test>");
    body = {QString::fromUtf8("Grüße")};
    ASSERT_TRUE(client.Mail());

    const QList<QByteArray> header = headerLines();
    EXPECT_TRUE(header.at(0).startsWith("From: =?iso-8859-1?B?")) << header.at(0).toStdString();
    EXPECT_TRUE(header.at(0).endsWith(" <jons@corvane.test>"));
    for (const QByteArray &line : server.messages().at(0).split('\n'))
        EXPECT_LE(line.size(), 78) << line.toStdString();
    // The server offers no 8BITMIME: the octets of the charset go
    // quoted-printable, declared.
    EXPECT_TRUE(header.contains("Content-Transfer-Encoding: quoted-printable"));
    EXPECT_EQ(bodyLines(), QList<QByteArray>{"Gr=FC=DFe"});

    const ParsedMessage parsed = parseWithPython(server.messages().at(0));
    ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
    EXPECT_EQ(parsed.subject, client.HdrSubject);
    EXPECT_EQ(parsed.from, client.HdrFrom);
    ASSERT_EQ(parsed.parts.size(), 1);
    EXPECT_EQ(parsed.parts.at(0).text, QString::fromUtf8("Grüße\r\n"));
}

TEST_F(SmtpTest, HeaderTextOutsideTheCharsetFallsBackToUtf8Words)
{
    client.HdrSubject = QString::fromUtf8("Καλημέρα κόσμε");
    ASSERT_TRUE(client.Mail());
    EXPECT_TRUE(headerLines().at(2).startsWith("Subject: =?utf-8?B?"));
    const ParsedMessage parsed = parseWithPython(server.messages().at(0));
    EXPECT_EQ(parsed.subject, client.HdrSubject);
}

TEST_F(SmtpTest, UnknownCharsetFailsBeforeAnythingIsSent)
{
    client.CharSet = "no-such-charset";
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.ErrorMessage(), "Unknown charset 'no-such-charset'");
    EXPECT_EQ(server.connectionCount(), 0);
}

TEST_F(SmtpTest, BodyLineFillingTheWholeBufferIsCutAtItsEnd)
{
    client.OnGetData = [](TCustomSmtpClient *, qint32 lineNum, char *line, qint32 maxLen, bool &more) {
        if (lineNum > 1) {
            more = false;
            return;
        }
        // A careless handler: the full buffer, no terminating NUL.
        std::memset(line, 'x', static_cast<size_t>(maxLen + 1));
    };
    ASSERT_TRUE(client.Mail());
    // Longer than a line of a message may be: it goes quoted-printable,
    // in lines that fit.
    const QList<QByteArray> lines = bodyLines();
    ASSERT_EQ(lines.size(), 14);
    for (const QByteArray &line : lines)
        EXPECT_LE(line.size(), 76);
    const ParsedMessage parsed = parseWithPython(server.messages().at(0));
    ASSERT_EQ(parsed.parts.size(), 1);
    EXPECT_EQ(parsed.parts.at(0).payload, QByteArray(1023, 'x') + "\r\n");
}

TEST_F(SmtpTest, APeerThatStopsReadingEndsTheMessageAfterTheTimeOut)
{
    client.TimeOut = 20;
    server.script("DATA", {{"354 go ahead", 0, -1, 0, false, true}});
    // Far more than the connection's buffers hold (the text is read before
    // the message starts, so it has an end).
    const QByteArray line(990, 'y');
    client.OnGetData = [&](TCustomSmtpClient *, qint32 lineNum, char *buffer, qint32, bool &more) {
        more = lineNum <= 40000;
        std::memcpy(buffer, line.constData(), static_cast<size_t>(line.size()) + 1);
    };
    EXPECT_FALSE(client.Mail());
    EXPECT_EQ(client.Stage(), 0);
    EXPECT_EQ(client.ErrorMessage(), "554 send timeout");
    EXPECT_EQ(shown.last(), "< 554 not connected");
    EXPECT_EQ(client.Socket()->State(), wsClosed);
}

TEST_F(SmtpTest, AnOverlongHeaderLineIsCutBetweenLetters)
{
    // 8 bytes of name and 600 two-byte letters: the 1023 bytes the line
    // buffer holds end in the middle of the 508th letter.
    client.OnHeaderList = [](TCustomSmtpClient *, QStringList &lines) {
        lines.append(QStringLiteral("X-Long: ") + QString(600, QChar(0xE5)));
    };
    ASSERT_TRUE(client.Mail());
    const QList<QByteArray> header = headerLines();
    ASSERT_FALSE(header.isEmpty());
    EXPECT_EQ(header.last(), "X-Long: " + QByteArray(507, '\xE5'));
}

TEST_F(SmtpTest, HeaderLinesMayBeRewrittenOrSuppressed)
{
    client.OnHeaderLine = [](TCustomSmtpClient *, char *line, qint32 size) {
        EXPECT_EQ(size, 1024);
        if (qstrncmp(line, "Mime-Version", 12) == 0)
            line[0] = '\0';
        if (qstrncmp(line, "To:", 3) == 0)
            qstrncpy(line, "To: rewritten", size);
    };
    client.HdrTo = "someone";
    ASSERT_TRUE(client.Mail());
    const QList<QByteArray> header = headerLines();
    ASSERT_EQ(header.size(), 5);
    EXPECT_EQ(header.at(1), "To: rewritten");
    EXPECT_TRUE(header.at(3).startsWith("Content-Type"));
}
