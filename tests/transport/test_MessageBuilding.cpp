#include "support/MimeCheck.h"
#include "support/MockClock.h"
#include "transport/SmtpException.h"
#include "support/SmtpTestFixture.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimeZone>

namespace {

struct MessageTest : SmtpTest
{
    QTemporaryDir dir;

    QString makeFile(const QString &name, int size)
    {
        QByteArray bytes(size, '\0');
        for (char &byte : bytes)
            byte = static_cast<char>(QRandomGenerator::global()->bounded(256));
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Every attachment, as the independent parser sees it, is byte for byte
    // the file that was attached.
    void expectAttachmentsParse(const QStringList &paths, int message = 0)
    {
        const ParsedMessage parsed = parseWithPython(server.messages().at(message));
        ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
        ASSERT_TRUE(parsed.multipart);
        ASSERT_EQ(parsed.parts.size(), paths.size() + 1);
        EXPECT_EQ(parsed.parts.at(0).contentType, "text/plain");
        for (int i = 0; i < paths.size(); ++i) {
            const ParsedMessage::Part &part = parsed.parts.at(i + 1);
            // Each part of the type its name tells.
            EXPECT_EQ(part.contentType, paths.at(i).endsWith(".txt") ? "text/plain" : "application/octet-stream");
            EXPECT_EQ(part.filename, QFileInfo(paths.at(i)).fileName());
            EXPECT_EQ(part.payload, contents(paths.at(i))) << paths.at(i).toStdString();
        }
    }

    QString boundaryOf(const QList<QByteArray> &header)
    {
        for (const QByteArray &line : header) {
            const QRegularExpressionMatch match =
                QRegularExpression("^\\tboundary=\"(.*)\"$").match(QString::fromLatin1(line));
            if (match.hasMatch())
                return match.captured(1);
        }
        return {};
    }
};

} // namespace

TEST_F(MessageTest, SinglePartMessageIsTheHeaderAndTheOwnersLines)
{
    client.HdrFrom = "Me <sender@corvane.test>";
    client.HdrSubject = "Test";
    body = {"first", "second"};
    ASSERT_TRUE(client.Mail());
    const QList<QByteArray> header = headerLines();
    ASSERT_EQ(header.size(), 6);
    EXPECT_EQ(header.at(0), "From: Me <sender@corvane.test>");
    EXPECT_EQ(header.at(1), "To: ");
    EXPECT_EQ(header.at(2), "Subject: Test");
    EXPECT_EQ(header.at(3), "Mime-Version: 1.0");
    EXPECT_EQ(header.at(4), "Content-Type: text/plain; charset=\"iso-8859-1\"");
    EXPECT_TRUE(QRegularExpression("^Date: (Sun|Mon|Tue|Wed|Thu|Fri|Sat), \\d{1,2} "
                                   "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}$")
                    .match(QString::fromLatin1(header.at(5)))
                    .hasMatch())
        << header.at(5).toStdString();
    EXPECT_EQ(bodyLines(), (QList<QByteArray>{"first", "second"}));
}

TEST_F(MessageTest, AMessageIdGoesOutAfterTheDateAndTheDateCarriesTheZone)
{
    const MockClock clock(QDateTime(QDate(2026, 12, 8), QTime(7, 41, 16), QTimeZone(3600)));
    client.HdrFrom = "Me <sender@corvane.test>";
    client.HdrTo = "<you@corvane.test>";
    client.HdrMessageId = "<0123456789abcdef.1@corvane.test>";
    ASSERT_TRUE(client.Mail());
    const QList<QByteArray> header = headerLines();
    ASSERT_EQ(header.size(), 7);
    EXPECT_EQ(header.at(5), "Date: Tue, 8 Dec 2026 07:41:16 +0100");
    EXPECT_EQ(header.at(6), "Message-ID: <0123456789abcdef.1@corvane.test>");

    const ParsedMessage parsed = parseWithPython(server.messages().at(0));
    EXPECT_TRUE(parsed.headerDefects.isEmpty()) << parsed.headerDefects.join("; ").toStdString();
    EXPECT_EQ(parsed.date, clock.currentDateTime());
    EXPECT_EQ(parsed.date.offsetFromUtc(), 3600);
    EXPECT_EQ(parsed.messageId, "<0123456789abcdef.1@corvane.test>");
}

TEST_F(MessageTest, DateLineIsEnglishInAGermanLocale)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German));
    const bool sent = client.Mail();
    QLocale::setDefault(saved);
    ASSERT_TRUE(sent);
    EXPECT_TRUE(QRegularExpression("^Date: (Sun|Mon|Tue|Wed|Thu|Fri|Sat), \\d{1,2} "
                                   "(Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) \\d{4} \\d\\d:\\d\\d:\\d\\d [+-]\\d{4}$")
                    .match(QString::fromLatin1(headerLines().at(5)))
                    .hasMatch())
        << headerLines().at(5).toStdString();
}

TEST_F(MessageTest, AttachmentOf45BytesIsOneFullLine)
{
    const QString path = makeFile("a45.bin", 45);
    client.setEmailFiles({path});
    body = {"text"};
    ASSERT_TRUE(client.Mail());
    const QList<QByteArray> header = headerLines();
    EXPECT_EQ(header.at(4), "Content-Type: multipart/mixed;");
    const QString boundary = boundaryOf(header);
    EXPECT_TRUE(QRegularExpression("^= Multipart Boundary [A-Z][a-z]{2}\\d{8}$").match(boundary).hasMatch())
        << boundary.toStdString();
    const QByteArray b = boundary.toLatin1();
    const QList<QByteArray> expected = {
        "This is a multipart MIME message.", "", "--" + b,
        "Content-Type: text/plain; charset=\"iso-8859-1\"", "Content-Transfer-Encoding: 7bit", "",
        "text",
        "", "--" + b, "Content-Type: application/octet-stream;", "\tname=\"a45.bin\"",
        "Content-Transfer-Encoding: base64", "Content-Disposition: attachment;", "\tfilename=\"a45.bin\"", "",
        contents(path).toBase64(),
        "", "--" + b + "--"};
    EXPECT_EQ(bodyLines(), expected);
    EXPECT_EQ(bodyLines().at(15).size(), 60);
    expectAttachmentsParse({path});
}

TEST_F(MessageTest, AttachmentOf46BytesEndsWithAShortPaddedLine)
{
    const QString path = makeFile("a46.bin", 46);
    client.setEmailFiles({path});
    ASSERT_TRUE(client.Mail());
    const QList<QByteArray> lines = bodyLines();
    ASSERT_GE(lines.size(), 4);
    EXPECT_EQ(lines.at(lines.size() - 4).size(), 60);
    EXPECT_EQ(lines.at(lines.size() - 3).size(), 4);
    EXPECT_TRUE(lines.at(lines.size() - 3).endsWith("=="));
    expectAttachmentsParse({path});
}

TEST_F(MessageTest, EmptyAttachmentIsOneEmptyLine)
{
    const QString path = makeFile("empty.bin", 0);
    client.setEmailFiles({path});
    ASSERT_TRUE(client.Mail());
    const QList<QByteArray> lines = bodyLines();
    const qsizetype headerEnd = lines.indexOf("\tfilename=\"empty.bin\"");
    ASSERT_GT(headerEnd, 0);
    EXPECT_EQ(lines.mid(headerEnd + 1), (QList<QByteArray>{"", "", "", lines.last()}));
    EXPECT_TRUE(lines.last().endsWith("--"));
    expectAttachmentsParse({path});
}

TEST_F(MessageTest, TwoAttachmentsAreSeparatedByOneEmptyLine)
{
    const QString first = makeFile("first.bin", 100);
    const QString second = makeFile("second file.dat", 3000);
    client.setEmailFiles({first, "  ", " " + second + " "});
    EXPECT_EQ(client.EmailFiles(), (QStringList{first, second}));
    ASSERT_TRUE(client.Mail());
    const QList<QByteArray> lines = bodyLines();
    const QByteArray lastOfFirst = contents(first).mid(90).toBase64();
    const qsizetype at = lines.indexOf(lastOfFirst);
    ASSERT_GT(at, 0);
    EXPECT_EQ(lines.at(at + 1), "");
    EXPECT_TRUE(lines.at(at + 2).startsWith("--= Multipart Boundary"));
    EXPECT_EQ(lines.at(at + 3), "Content-Type: application/octet-stream;");
    expectAttachmentsParse({first, second});
}

TEST_F(MessageTest, OwnerLinesAreNumberedFromOneAfterThePreamble)
{
    client.setEmailFiles({makeFile("x.bin", 10)});
    body = {".dot first", "b"};
    ASSERT_TRUE(client.Mail());
    EXPECT_EQ(lineNums, (QList<int>{1, 2, 3}));
    EXPECT_TRUE(server.received().contains("\r\n..dot first\r\n"));
    const ParsedMessage parsed = parseWithPython(server.messages().at(0));
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.parts.at(0).text, ".dot first\r\nb\r\n");
}

TEST_F(MessageTest, MissingFileIsRefusedWhenAssigned)
{
    const QString present = makeFile("present.bin", 5);
    const QString missing = dir.filePath("missing.bin");
    try {
        client.setEmailFiles({present, missing, present});
        FAIL() << "no exception";
    } catch (const SmtpException &e) {
        EXPECT_EQ(e.message(), "File not found '" + missing + "'");
    }
    EXPECT_EQ(client.EmailFiles(), QStringList{present});
}

TEST_F(MessageTest, FileNameWithQuotesStaysOneParameter)
{
    const QString path = makeFile("say \"hi\".txt", 20);
    client.setEmailFiles({path});
    ASSERT_TRUE(client.Mail());
    EXPECT_TRUE(bodyLines().contains("\tname=\"say \\\"hi\\\".txt\""));
    expectAttachmentsParse({path});
}

TEST_F(MessageTest, MultipartHeaderLineIsSeenRewrittenByTheOwner)
{
    QByteArray seen;
    client.OnHeaderLine = [&](TCustomSmtpClient *, char *line, qint32) {
        if (qstrnicmp(line, "content-type:", 13) == 0)
            seen = line;
    };
    client.setEmailFiles({makeFile("y.bin", 1)});
    ASSERT_TRUE(client.Mail());
    EXPECT_TRUE(seen.startsWith("Content-Type: multipart/mixed;\r\n\tboundary=\"= Multipart Boundary "));
}

namespace {

// Reading breaks off after a number of lines, as a failing disk would, or
// the file is cut shorter there while it is sent.
class FailingAttachmentClient : public TSmtpClient
{
public:
    int linesBeforeFailure = 2;
    bool truncateInstead = false;

protected:
    void EncodeAttachmentLine(QFile &file, QByteArray &line, bool &More) override
    {
        if (linesBeforeFailure-- == 0) {
            if (!truncateInstead)
                throw SmtpException("read error");
            QFile::resize(file.fileName(), file.pos());
        }
        TSmtpClient::EncodeAttachmentLine(file, line, More);
    }
};

struct FailingAttachmentTest : MessageTest
{
    FailingAttachmentClient failing;

    FailingAttachmentTest()
    {
        wire(failing);
        failing.Host = client.Host;
        failing.Port = client.Port;
    }

    // The message of the failed Mail was never ended: the server got no
    // "." after DATA and keeps nothing.
    void expectNotEnded(const QString &reason)
    {
        EXPECT_EQ(failing.ErrorMessage(), reason);
        EXPECT_EQ(failing.Result().kind(), TSmtpResult::Kind::Refused);
        EXPECT_EQ(failing.Result().reason(), reason);
        EXPECT_EQ(failing.Stage(), 0) << "the connection is dropped, as when the end of data fails";
        EXPECT_EQ(server.messageCount(), 0);
        EXPECT_FALSE(shown.contains("> .")) << "the message is not ended";
        EXPECT_EQ(shown.last(), reason) << "the log says why";
    }
};

} // namespace

// These three once ended the message with "." and Mail true, so every member
// got it without the file.
TEST_F(FailingAttachmentTest, AnAttachmentThatFailsMidwayFailsTheMessageWithoutEndingIt)
{
    const QString path = makeFile("big.bin", 450);
    failing.setEmailFiles({path});
    EXPECT_FALSE(failing.Mail());
    expectNotEnded("read error");
    EXPECT_TRUE(shown.contains("> " + QString::fromLatin1(contents(path).mid(45, 45).toBase64())))
        << "what was read went out before the failure";

    // The next message starts a new session and attaches the file afresh.
    failing.linesBeforeFailure = 100;
    ASSERT_TRUE(failing.Mail()) << failing.ErrorMessage().toStdString();
    EXPECT_EQ(server.connectionCount(), 2);
    EXPECT_EQ(server.messageCount(), 1);
    expectAttachmentsParse({path}, 0);
}

TEST_F(FailingAttachmentTest, AnAttachmentGoneBeforeItsPartFailsTheMessageNamingTheFileAndTheError)
{
    const QString path = makeFile("gone.bin", 100);
    failing.setEmailFiles({path});
    // Removed after the check that it exists, before it is read.
    QFile::remove(path);
    EXPECT_FALSE(failing.Mail());
    expectNotEnded("Cannot open '" + path + "': No such file or directory");
}

TEST_F(FailingAttachmentTest, AnAttachmentCutShorterWhileItIsSentFailsTheMessage)
{
    // Larger than what a read of the file may have taken in ahead.
    const QString path = makeFile("shrinks.bin", 256 * 1024);
    failing.truncateInstead = true;
    failing.setEmailFiles({path});
    EXPECT_FALSE(failing.Mail());
    const QRegularExpression reason("^Cannot read '" + QRegularExpression::escape(path)
                                    + "': it ended after \\d+ of its 262144 bytes$");
    EXPECT_TRUE(reason.match(failing.ErrorMessage()).hasMatch()) << failing.ErrorMessage().toStdString();
    expectNotEnded(failing.ErrorMessage());
}

TEST_F(FailingAttachmentTest, AnAttachmentWhoseReadFailsFailsTheMessage)
{
    // A regular file that the system refuses to read from its start.
    const QString path = QStringLiteral("/proc/self/mem");
    failing.setEmailFiles({path});
    EXPECT_FALSE(failing.Mail());
    EXPECT_TRUE(failing.ErrorMessage().startsWith("Cannot read '/proc/self/mem': "))
        << failing.ErrorMessage().toStdString();
    EXPECT_EQ(server.messageCount(), 0);
    EXPECT_EQ(failing.Stage(), 0);
}

TEST_F(MessageTest, LongHeaderTextsAreFoldedWithinTheLineLimit)
{
    QStringList words;
    for (int i = 0; i < 100; ++i)
        words.append(QStringLiteral("word%1").arg(i));
    const QString subject = words.join(u' '); // 689 characters
    const QString name = QString(1200, u'n'); // one word, too long for any line
    client.HdrSubject = subject;
    client.HdrFrom = name;
    ASSERT_TRUE(client.Mail());
    for (const QByteArray &line : messageLines())
        EXPECT_LE(line.size(), 998) << line.left(40).toStdString();
    const ParsedMessage parsed = parseWithPython(server.messages().at(0));
    ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
    EXPECT_EQ(parsed.subject, subject) << "folds stand for the blanks they replace";
    // The header line buffer holds 1023 bytes: the name is cut there, but
    // what arrives is the start of the name, not a broken encoding.
    EXPECT_FALSE(parsed.from.isEmpty());
    EXPECT_TRUE(name.startsWith(parsed.from)) << parsed.from.toStdString();
}
