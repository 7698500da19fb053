#include "send/GroupSend.h"
#include "support/MainWindowFixture.h"
#include "support/Accessibility.h"
#include "support/MimeCheck.h"
#include "support/ModalDialogs.h"
#include "support/RealSmtpServer.h"
#include "support/ScriptedSmtpServer.h"
#include "widgets/StatusBar.h"
#include "mailer/DisplayedLines.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Result.h"
#include "support/InMemoryPhoneBook.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
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

    void useServer(quint16 port, const QByteArray &more = {})
    {
        folder.writeFile("CORVAN.INI", "[DATABAS]\r\nVERSION=1\r\n[SMTP]\r\nSERVER=127.0.0.1\r\nPORT="
                                           + QByteArray::number(port)
                                           + "\r\n[PERSONAL]\r\nNAME=Ann Sender\r\nEMAIL=ann@example.org\r\n" + more);
        session->LoadSettings();
    }

    // A message with everything the window holds: group, signature,
    // attachments picked (shown by name), subject and a text of paragraphs.
    TF_NewMsg *composeInFull()
    {
        folder.writeFile("SIGNATURE/Regards.sig", "-- \r\nAnn\r\n");
        TF_NewMsg *message = compose("Friends", "REGARDS", "Hello all,\n\nthe long first paragraph " + QString("and more ").repeated(30));
        if (message) {
            session->Draft().Attachments = {"/srv/files/agenda.pdf"};
            message->co_AttachedFiles->addItem("agenda.pdf");
        }
        return message;
    }
    void expectComposedInFull(const TF_NewMsg::Contents &before)
    {
        ASSERT_FALSE(mdi->F_NewMsg.isNull()) << "the message window is there";
        const TF_NewMsg::Contents now = mdi->F_NewMsg->contents();
        EXPECT_EQ(now.Group, "Friends");
        EXPECT_EQ(now.Signature, "REGARDS");
        EXPECT_EQ(now.Attachments, QStringList{"/srv/files/agenda.pdf"});
        EXPECT_EQ(now.ShownAttachments, QStringList{"agenda.pdf"});
        EXPECT_EQ(now.Subject, before.Subject);
        EXPECT_EQ(now.Text, before.Text) << "paragraphs as typed";
        EXPECT_TRUE(button("bu_SendGrpMail")->isEnabled()) << "it can be sent again";
    }
    // The results window, answered when it comes.
    void acceptResults(bool &shown)
    {
        whenModal<TF_Result>([&](TF_Result &dialog) {
            shown = true;
            dialog.accept();
        }, 20000);
    }
};

// The connection is made by dialling an entry the phone book holds, which
// never comes up: the run stays pending until it is cancelled.
class PendingSendWindowTest : public GroupSendWindowTest
{
protected:
    TMailerSession::DialUpBackendFactory dialUpBackends() override
    {
        return [] {
            auto book = std::make_unique<InMemoryPhoneBook>();
            book->addEntry("Office");
            InMemoryPhoneBook::DialOutcome fails;
            fails.result = 1;
            book->setOutcome("Office", fails);
            return book;
        };
    }
    void SetUp() override
    {
        GroupSendWindowTest::SetUp();
        useServer(ScriptedSmtpServer::unusedPort(), "[DIALUP]\r\nLAN=0\r\nDEVICE=Office\r\n");
    }
    // Starts the message's run, which waits for its connection.
    void startPending()
    {
        button("bu_SendGrpMail")->click();
        ASSERT_TRUE(session->GroupSend().Busy());
        ASSERT_TRUE(mdi->F_NewMsg.isNull()) << "the message window has let go of the message";
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
    ASSERT_FALSE(mdi->F_NewMsg.isNull()) << "nobody got the message: it is back";
    EXPECT_EQ(mdi->F_NewMsg->mo_Message->toPlainText(), "Hello");
    compose("Friends", "None", "next try");
    EXPECT_TRUE(button("bu_SendGrpMail")->isEnabled()) << "ready for the next run";
}

// Nothing typed is lost when the run does not start or sends to nobody.
TEST_F(GroupSendWindowTest, AFirstMessageTypedWithNoSettingsComesBackAfterTheSettingsBox)
{
    QFile::remove(folder.file("CORVAN.INI"));
    session->LoadSettings();
    TF_NewMsg *message = composeInFull();
    ASSERT_NE(message, nullptr);
    const TF_NewMsg::Contents before = message->contents();
    button("bu_SendGrpMail")->click();
    EXPECT_EQ(prompts.texts(), QStringList{"Must enter SMTP Server in Network settings!"});
    EXPECT_FALSE(session->GroupSend().Busy());
    EXPECT_EQ(mdi->F_NewMsg.data(), message) << "the message window never went";
    expectComposedInFull(before);
}

TEST_F(GroupSendWindowTest, AServerThatIsDownBringsTheMessageBack)
{
    useServer(ScriptedSmtpServer::unusedPort());
    TF_NewMsg *message = composeInFull();
    ASSERT_NE(message, nullptr);
    const TF_NewMsg::Contents before = message->contents();
    button("bu_SendGrpMail")->click();
    ASSERT_TRUE(waitFor([&] { return !session->GroupSend().Busy(); }, 20000));
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_TRUE(prompts.texts()[0].startsWith("Timeout while connecting to: 127.0.0.1")) << prompts.texts()[0].toStdString();
    expectComposedInFull(before);
    QMdiSubWindow *front = mdi->mdiArea()->currentSubWindow();
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(front->widget(), mdi->F_NewMsg.data()) << "in front, to be sent again";
}

TEST_F(GroupSendWindowTest, AMessageThatReachedAMemberDoesNotComeBack)
{
    ScriptedSmtpServer server;
    server.refuseFirstTry("RCPT", "anna@example.org", ScriptedSmtpServer::Reply{"550 5.1.1 no such user"});
    useServer(server.port());
    ASSERT_NE(composeInFull(), nullptr);
    session->Draft().Attachments.clear();
    bool results = false;
    acceptResults(results);
    button("bu_SendGrpMail")->click();
    ASSERT_TRUE(waitFor([&] { return results && !session->GroupSend().Busy(); }, 20000));
    EXPECT_EQ(server.messageCount(), 2);
    EXPECT_TRUE(mdi->F_NewMsg.isNull());
}

TEST_F(GroupSendWindowTest, AMessageEveryMemberFailedComesBackAfterTheResults)
{
    ScriptedSmtpServer server;
    server.script("RCPT", "550 5.7.1 relaying denied");
    useServer(server.port());
    TF_NewMsg *message = composeInFull();
    ASSERT_NE(message, nullptr);
    const TF_NewMsg::Contents before = message->contents();
    bool results = false;
    acceptResults(results);
    button("bu_SendGrpMail")->click();
    ASSERT_TRUE(waitFor([&] { return results && !session->GroupSend().Busy(); }, 20000));
    EXPECT_EQ(server.messageCount(), 0);
    expectComposedInFull(before);
}

TEST_F(PendingSendWindowTest, CancellingAPendingRunBringsTheMessageBack)
{
    TF_NewMsg *message = composeInFull();
    ASSERT_NE(message, nullptr);
    const TF_NewMsg::Contents before = message->contents();
    startPending();
    button("bu_Stop")->click();
    EXPECT_FALSE(session->GroupSend().Busy());
    expectComposedInFull(before);
}

// Another message begun while the run waited is not overwritten: the one that
// came back goes to a message file, and "Load message" reads it whole.
TEST_F(PendingSendWindowTest, AMessageComingBackWhileAnotherIsComposedIsKeptInAFile)
{
    TF_NewMsg *message = composeInFull();
    ASSERT_NE(message, nullptr);
    const TF_NewMsg::Contents before = message->contents();
    startPending();
    TF_NewMsg *next = compose("Friends", "None", "the next message");
    ASSERT_NE(next, nullptr);
    button("bu_Stop")->click();
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Information);
    const QStringList kept = QDir(session->MessageFolder()).entryList({"UNSENT *.MSG"}, QDir::Files);
    ASSERT_EQ(kept.size(), 1);
    const QString path = session->MessageFolder() + "/" + kept[0];
    EXPECT_EQ(prompts.texts()[0], "Nobody got the message to the group \"Friends\". It is kept in the message file \""
                                      + path + "\": \"Load message\" brings it back.");
    EXPECT_EQ(mdi->F_NewMsg.data(), next);
    EXPECT_EQ(next->mo_Message->toPlainText(), "the next message") << "what is being typed stays";

    TMessageFile file;
    ASSERT_TRUE(file.Load(path));
    EXPECT_EQ(file.Text.join('\n'), before.Text);
    EXPECT_EQ(file.Group, "Friends");
    EXPECT_EQ(file.Signature, "REGARDS");
    EXPECT_EQ(file.Attachments, before.Attachments);
    EXPECT_EQ(file.Subject, before.Subject);
}

// Closing the main window while a run is busy asks as "Exit" does; on Yes
// the run ends at the member boundary, with its questions and results, and
// only then the window closes.
TEST_F(GroupSendWindowTest, ClosingTheWindowDuringARunAsksAndCancelsAtTheMemberBoundary)
{
    ScriptedSmtpServer server;
    server.script(".", {{"250 queued", 300}});
    useServer(server.port());
    ASSERT_NE(compose("Friends", "None", "Hello"), nullptr);
    prompts.answer(PromptAnswer::No);  // "Exit Corvane 98?", the first time
    prompts.answer(PromptAnswer::Yes); // the second
    prompts.answer(PromptAnswer::Yes); // continue at the current position next time
    bool results = false;
    acceptResults(results);
    QTimer::singleShot(100, mdi.get(), [&] {
        mdi->close();
        EXPECT_TRUE(mdi->isVisible()) << "No keeps the window and the run";
        mdi->close();
    });
    button("bu_SendGrpMail")->click();
    ASSERT_TRUE(waitFor([&] { return !mdi->isVisible(); }, 20000));
    EXPECT_TRUE(results) << "the results came before the window closed";
    EXPECT_FALSE(session->GroupSend().Busy());
    EXPECT_EQ(server.messageCount(), 1) << "the member being sent to was completed, and no other";
    EXPECT_EQ(prompts.texts(), QStringList({"Exit Corvane 98?", "Exit Corvane 98?", "Operation aborted!",
                                            "Do you want to continue at current position next time?"}));
    EXPECT_EQ(dm->ReadLastMail("Friends"), 2);
}

TEST_F(PendingSendWindowTest, ExitDuringAPendingRunAsksOnceAndGivesTheRunUp)
{
    ASSERT_NE(compose("Friends", "None", "Hello"), nullptr);
    startPending();
    prompts.answer(PromptAnswer::Yes);
    menuAction("Exit1")->trigger();
    ASSERT_TRUE(waitFor([&] { return !mdi->isVisible(); }));
    EXPECT_EQ(prompts.texts(), QStringList{"Exit Corvane 98?"});
    EXPECT_FALSE(session->GroupSend().Busy());
}

// The signature's long lines are sent as the rows they would take in the
// message's own text box: measured in the message's font.
TEST_F(GroupSendWindowTest, ASignatureIsMeasuredInTheMessagesFont)
{
    ScriptedSmtpServer server;
    useServer(server.port());
    QStringList words;
    for (int i = 0; i < 60; ++i)
        words.append(QString("w").repeated(1 + i * 7 % 9));
    const QString line = words.join(' ');
    folder.writeFile("SIGNATURE/Long.sig", line.toUtf8() + "\r\n");
    TF_NewMsg *message = compose("Friends", "LONG", "Hi");
    ASSERT_NE(message, nullptr);
    // The rows of the line in a 361-pixel box of a font.
    auto rowsIn = [&](const QFont &font) {
        QPlainTextEdit box;
        box.setAttribute(Qt::WA_DontShowOnScreen);
        box.setLineWrapMode(QPlainTextEdit::WidgetWidth);
        box.setFont(font);
        box.resize(361, 120);
        box.show();
        DisplayedLines::put(&box, {line});
        return DisplayedLines::of(&box);
    };
    const QStringList expected = rowsIn(message->mo_Message->font());
    ASSERT_NE(expected, rowsIn(QFont())) << "the fonts must wrap the line differently for this test to tell";
    bool results = false;
    acceptResults(results);
    button("bu_SendGrpMail")->click();
    ASSERT_TRUE(waitFor([&] { return results; }, 20000));
    ASSERT_EQ(server.messageCount(), 3);
    const QByteArray body = server.messages()[0];
    EXPECT_TRUE(body.contains(("\r\n\r\nHi\r\n" + expected.join("\r\n") + "\r\n").toUtf8()))
        << body.toStdString();
}

}
