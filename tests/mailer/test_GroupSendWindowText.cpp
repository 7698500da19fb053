#include "support/MainWindowFixture.h"
#include "support/MimeCheck.h"
#include "support/PostfixSink.h"
#include "support/RealSmtpServer.h"
#include "support/ScriptedSmtpServer.h"

#include <QLineEdit>
#include <QRegularExpression>

namespace {

const QString Member = QString::fromUtf8("Łukasz Żółć");
const QString Subject = QString::fromUtf8("Prüfung € 😀");
const QStringList Paragraphs{QString::fromUtf8("Grüße — “quoted” € 日本 😀"), QString(),
                             QString::fromUtf8("Zweiter Absatz: Grüße — “quoted” € 日本 😀"), QString(),
                             QString::fromUtf8("Dritter: = am Ende und Leerzeichen  ")};
const QString FileName = QString::fromUtf8("Příloha €.txt");

class GroupSendTextWindowTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        StoreSetup::addNamedGroup(*dm, "Polish", {{Member, "lukasz@example.org"}, {"Ann Other", "ann@example.org"}});
    }

    void useServer(quint16 port)
    {
        folder.writeFile("CORVAN.INI", "[DATABAS]\r\nVERSION=1\r\n[SMTP]\r\nSERVER=127.0.0.1\r\nPORT="
                                           + QByteArray::number(port)
                                           + "\r\n[PERSONAL]\r\nNAME=Ann Sender\r\nEMAIL=ann@example.org\r\n");
        session->LoadSettings();
    }

    // The message as the user writes it in "New message", and sent.
    QStringList send(const QString &subject, const QString &text, const QStringList &attachments)
    {
        TF_NewMsg *message = openMessageTo("Polish");
        if (!message)
            return {};
        waitFor([&] { return message->co_Signature->count() > 0; });
        message->co_Signature->setCurrentIndex(message->co_Signature->findText("None"));
        message->e_subject->setText(subject);
        message->mo_Message->setPlainText(text);
        session->Draft().Attachments = attachments;
        return sendAndReadResults();
    }

    QStringList sendTheTypedMessage()
    {
        folder.writeFile("files/" + FileName, "Anhang: Gr\xc3\xbc\xc3\x9f" "e\n");
        return send(Subject, Paragraphs.join('\n'), {folder.file("files/" + FileName)});
    }

    // What a mail client's parser reads is exactly what was typed.
    void expectAsTyped(const QByteArray &data, const QString &name)
    {
        const ParsedMessage parsed = parseWithPython(data);
        ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
        EXPECT_TRUE(parsed.headerDefects.isEmpty()) << parsed.headerDefects.join("; ").toStdString();
        EXPECT_EQ(parsed.subject, Subject);
        ASSERT_EQ(parsed.toAddresses.size(), 1);
        EXPECT_EQ(parsed.toAddresses[0].name, name);
        ASSERT_EQ(parsed.parts.size(), 2);
        EXPECT_EQ(parsed.parts[0].text, Paragraphs.join("\r\n") + "\r\n");
        EXPECT_EQ(parsed.parts[1].filename, FileName);
        EXPECT_EQ(parsed.parts[1].contentType, "text/plain");
        EXPECT_EQ(parsed.parts[1].payload, QString::fromUtf8("Anhang: Grüße\n").toUtf8());
        for (const QByteArray &line : data.split('\n'))
            EXPECT_LE(line.size(), 998 + 1) << "no line longer than a message may have";
    }

    // The transfer encoding the text part declares.
    static QByteArray textEncoding(const QByteArray &data)
    {
        const QRegularExpression cte(QStringLiteral("charset=\"utf-8\"\r\nContent-Transfer-Encoding: ([^\r]*)\r\n"));
        return cte.match(QString::fromLatin1(data)).captured(1).toLatin1();
    }

    void sendToSmtpSink(bool eightBitMime)
    {
        PostfixSink sink;
        ASSERT_TRUE(sink.start(eightBitMime)) << sink.error().toStdString();
        useServer(sink.port());
        ASSERT_FALSE(sendTheTypedMessage().isEmpty());
        ASSERT_TRUE(waitFor([&] { return sink.messages().size() == 2; }, 10000));
        for (const PostfixSink::Received &received : sink.messages()) {
            const bool toLukasz = received.data.contains("lukasz@example.org");
            expectAsTyped(received.data, toLukasz ? Member : QStringLiteral("Ann Other"));
            EXPECT_EQ(received.mailArgs.contains("BODY=8BITMIME"), eightBitMime) << received.mailArgs.toStdString();
            EXPECT_EQ(textEncoding(received.data), eightBitMime ? "8bit" : "quoted-printable");
        }
    }
};

} // namespace

TEST_F(GroupSendTextWindowTest, TheTypedMessageArrivesAsTypedAtARealServer)
{
    RealSmtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    useServer(server.port());
    const QStringList results = sendTheTypedMessage();
    ASSERT_FALSE(results.isEmpty());
    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 2; }, 10000));
    const QList<RealSmtpServer::Received> messages = server.messages();
    EXPECT_EQ(messages[0].rcptTos, QStringList{"lukasz@example.org"});
    expectAsTyped(messages[0].data, Member);
    expectAsTyped(messages[1].data, "Ann Other");
    // aiosmtpd offers 8BITMIME: the text goes as it is, declared.
    EXPECT_EQ(textEncoding(messages[0].data), "8bit");
    EXPECT_TRUE(results.filter(QRegularExpression("^> MAIL FROM:<ann@example.org> SIZE=\\d+ BODY=8BITMIME$")).size() == 2)
        << results.join('\n').toStdString();
}

TEST_F(GroupSendTextWindowTest, TheTypedMessageArrivesAsTypedAtPostfixSmtpSinkWith8BitMime)
{
    sendToSmtpSink(true);
}

TEST_F(GroupSendTextWindowTest, TheTypedMessageArrivesAsTypedAtPostfixSmtpSinkWithout8BitMime)
{
    sendToSmtpSink(false);
}

TEST_F(GroupSendTextWindowTest, APlainAsciiMessageIsTheBytesItAlwaysWas)
{
    ScriptedSmtpServer server;
    server.script("EHLO", "250-test.local\r\n250-8BITMIME\r\n250-SIZE 100000\r\n250 SMTPUTF8");
    useServer(server.port());
    ASSERT_FALSE(send("Spring meeting", "Hello all,\n\nsee you = there.", {}).isEmpty());
    ASSERT_EQ(server.messageCount(), 2);
    QString message = QString::fromLatin1(server.messages()[1]);
    message.replace(QRegularExpression("\r\nDate: [^\r]*\r\n"), "\r\nDate: (date)\r\n");
    message.replace(QRegularExpression("\r\nMessage-ID: <[^>]*>\r\n"), "\r\nMessage-ID: (id)\r\n");
    EXPECT_EQ(message, "From: Ann Sender <ann@example.org>\r\n"
                       "To: Ann Other <ann@example.org>\r\n"
                       "Subject: Spring meeting\r\n"
                       "Mime-Version: 1.0\r\n"
                       "Content-Type: text/plain; charset=\"iso-8859-1\"\r\n"
                       "Date: (date)\r\n"
                       "Message-ID: (id)\r\n"
                       "\r\n"
                       "Hello all,\r\n"
                       "\r\n"
                       "see you = there.\r\n");
}
