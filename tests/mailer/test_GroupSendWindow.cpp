#include "send/GroupSend.h"
#include "support/MainWindowFixture.h"
#include "support/Accessibility.h"
#include "support/MimeCheck.h"
#include "support/ModalDialogs.h"
#include "support/RealSmtpServer.h"
#include "support/ScriptedSmtpServer.h"
#include "widgets/StatusBar.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Result.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSet>
#include <QToolButton>

namespace {

class GroupSendWindowTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        StoreSetup::addGroup(*dm, "Friends", {"anna@example.org", "bo@example.org", "cy@example.org"});
    }

    // Opens "New message" and fills it as the user would.
    TF_NewMsg *compose(const QString &group, const QString &signature, const QString &text)
    {
        TF_NewMsg *message = openMessageTo(group);
        if (!message)
            return nullptr;
        waitFor([&] { return message->co_Signature->count() > 0; });
        message->co_Signature->setCurrentIndex(message->co_Signature->findText(signature));
        message->e_subject->setText(QString::fromUtf8("Spring meeting \xE2\x80\x93 agenda"));
        message->mo_Message->setPlainText(text);
        return message;
    }

    void useServer(quint16 port)
    {
        folder.writeFile("CORVAN.INI", "[DATABAS]\r\nVERSION=1\r\n[SMTP]\r\nSERVER=127.0.0.1\r\nPORT="
                                           + QByteArray::number(port)
                                           + "\r\n[PERSONAL]\r\nNAME=Ann Sender\r\nEMAIL=ann@example.org\r\n");
        session->LoadSettings();
    }
};

TEST_F(GroupSendWindowTest, SendsTheComposedMessageToEveryMemberOfARealServer)
{
    RealSmtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    useServer(server.port());
    folder.writeFile("SIGNATURE/Regards.sig", "-- \r\nAnn Sender\r\n");
    folder.writeFile("files/notes.txt", "plain notes\n");
    QByteArray binary;
    for (int i = 0; i < 3000; ++i)
        binary.append(static_cast<char>(i * 7 % 256));
    folder.writeFile("files/data.bin", binary);

    TF_NewMsg *message = compose("Friends", "REGARDS", "Hello all,\nsee the notes.");
    ASSERT_NE(message, nullptr);
    session->Draft().Attachments = {folder.file("files/notes.txt"), folder.file("files/data.bin")};
    const QStringList results = sendAndReadResults();
    ASSERT_FALSE(results.isEmpty());
    EXPECT_TRUE(mdi->F_NewMsg.isNull()) << "the message window closes when the run starts";

    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 3; }, 10000));
    const QStringList expectedTo{"anna@example.org", "bo@example.org", "cy@example.org"};
    QSet<QString> messageIds;
    for (int i = 0; i < 3; ++i) {
        const RealSmtpServer::Received received = server.messages()[i];
        EXPECT_EQ(received.mailFrom, "ann@example.org");
        EXPECT_EQ(received.rcptTos, QStringList{expectedTo[i]});
        const ParsedMessage parsed = parseWithPython(received.data);
        ASSERT_TRUE(parsed.ok) << parsed.error.toStdString();
        // What large providers check: an address in From, a Date with its
        // zone, a Message-ID; Python's strict reading records no defect.
        EXPECT_TRUE(parsed.headerDefects.isEmpty()) << parsed.headerDefects.join("; ").toStdString();
        EXPECT_EQ(parsed.fromAddresses, QList<ParsedMessage::Address>({{"Ann Sender", "ann@example.org"}}));
        EXPECT_EQ(parsed.toAddresses,
                  QList<ParsedMessage::Address>({{expectedTo[i].section('@', 0, 0), expectedTo[i]}}));
        ASSERT_TRUE(parsed.date.isValid()) << "the Date line reads as a date with its zone";
        EXPECT_LE(std::abs(parsed.date.secsTo(QDateTime::currentDateTime())), 60);
        EXPECT_TRUE(parsed.messageId.endsWith("@example.org>")) << parsed.messageId.toStdString();
        messageIds.insert(parsed.messageId);
        EXPECT_EQ(parsed.subject, QString::fromUtf8("Spring meeting \xE2\x80\x93 agenda"));
        ASSERT_TRUE(parsed.multipart);
        ASSERT_EQ(parsed.parts.size(), 3);
        EXPECT_EQ(parsed.parts[0].text.trimmed().split("\r\n"),
                  QStringList({"Hello all,", "see the notes.", "-- ", "Ann Sender"}));
        EXPECT_EQ(parsed.parts[1].filename, "notes.txt");
        EXPECT_EQ(parsed.parts[1].payload, "plain notes\n");
        EXPECT_EQ(parsed.parts[2].filename, "data.bin");
        EXPECT_EQ(parsed.parts[2].payload, binary);
    }
    EXPECT_EQ(messageIds.size(), 3);
    EXPECT_TRUE(results.last().startsWith("< 221")) << results.last().toStdString();
    EXPECT_EQ(mdi->smtpstatus()->panelText(0), "Operation finished");
    // A screen reader finds the outcome where the eye does.
    QAccessibleInterface *outcome = findSpoken(mdi->smtpstatus(), QAccessible::StaticText, "Operation finished");
    ASSERT_NE(outcome, nullptr);
    EXPECT_EQ(outcome->object(), mdi->smtpstatus()->panel(0));
    EXPECT_EQ(spokenName(mdi->smtpstatus()->panel(2)), "Email: ");
    EXPECT_EQ(spokenName(mdi->smtpstatus()->panel(3)), "Email nr: ");
    EXPECT_FALSE(button("bu_Stop")->isVisible());
    EXPECT_FALSE(mdi->smtpstatus()->pb()->isVisible());
    compose("Friends", "None", "next message");
    EXPECT_TRUE(button("bu_SendGrpMail")->isEnabled()) << "ready for the next run";
}

TEST_F(GroupSendWindowTest, NoGroupChosenStartsNothing)
{
    TF_NewMsg *message = compose("", "None", "text");
    ASSERT_NE(message, nullptr);
    button("bu_SendGrpMail")->click();
    EXPECT_EQ(prompts.texts(), QStringList{"You must choose a group first!"});
    EXPECT_FALSE(mdi->F_NewMsg.isNull());
    EXPECT_FALSE(session->GroupSend().Busy());
}

TEST_F(GroupSendWindowTest, AnUnreadableSignatureStopsTheStart)
{
    folder.writeFile("SIGNATURE/Gone.sig", "x\r\n");
    TF_NewMsg *message = compose("Friends", "GONE", "text");
    ASSERT_NE(message, nullptr);
    QFile::remove(folder.file("SIGNATURE/Gone.sig"));
    button("bu_SendGrpMail")->click();
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_FALSE(session->GroupSend().Busy());
    EXPECT_TRUE(button("bu_SendGrpMail")->isEnabled());
    EXPECT_FALSE(mdi->F_NewMsg.isNull()) << "the message stays for another try";
}

TEST_F(GroupSendWindowTest, ASignatureWrapsAsTheMessageBoxDoes)
{
    RealSmtpServer server;
    ASSERT_TRUE(server.start()) << server.error().toStdString();
    useServer(server.port());
    const QByteArray longLine = QByteArray("word ").repeated(40).trimmed();
    folder.writeFile("SIGNATURE/Long.sig", longLine + "\r\n");
    compose("Friends", "LONG", "Hi");
    bool shown = false;
    whenModal<TF_Result>([&](TF_Result &dialog) { shown = true; dialog.accept(); }, 20000);
    button("bu_SendGrpMail")->click();
    ASSERT_TRUE(waitFor([&] { return shown; }, 20000));
    ASSERT_TRUE(waitFor([&] { return server.messages().size() == 3; }, 10000));
    const QByteArray data = server.messages()[0].data;
    EXPECT_FALSE(data.contains(longLine)) << "a long signature line is sent as the rows it wraps into";
    EXPECT_TRUE(data.contains("\r\nword word"));
}

TEST_F(GroupSendWindowTest, ASendWithTheStoreLockedShowsAMessageAndTheMailerStaysOpen)
{
    ScriptedSmtpServer server;
    useServer(server.port());
    ASSERT_NE(compose("Friends", "None", "Hello"), nullptr);
    StoreSetup::OtherProgramLock lock(folder);
    bool resultsShown = false;
    whenModal<TF_Result>([&](TF_Result &dialog) {
        resultsShown = true;
        dialog.accept();
    }, 20000);
    button("bu_SendGrpMail")->click();
    ASSERT_TRUE(waitFor([&] { return resultsShown; }, 20000));
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.texts()[0].contains("is locked by another program")) << prompts.texts()[0].toStdString();
    EXPECT_EQ(server.messageCount(), 0);
    EXPECT_TRUE(mdi->isVisible()) << "the mailer stays open";
    EXPECT_FALSE(session->GroupSend().Busy());
    EXPECT_FALSE(button("bu_Stop")->isVisible());
    compose("Friends", "None", "next try");
    EXPECT_TRUE(button("bu_SendGrpMail")->isEnabled()) << "ready for the next run";
}

}
