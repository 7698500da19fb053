#include "support/Accessibility.h"
#include "support/MainWindowFixture.h"
#include "send/MessageFile.h"
#include "support/ModalDialogs.h"
#include "support/ScriptedPrompts.h"
#include "support/SecondProgram.h"
#include "support/StoreSetup.h"
#include "mailer/TF_Mdi.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_NewMsgA.h"
#include "support/TempProgramFolder.h"
#include "widgets/ToolPanel.h"
#include "support/WaitFor.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include "mailer/DisplayedLines.h"

#include <QListWidget>
#include <QPushButton>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

class MessageWindowTest : public MainWindowFixture
{
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        StoreSetup::addGroup(*dm, "Club", {"a@example.org"});
        StoreSetup::addGroup(*dm, "Friends", {"b@example.org"});
    }

    // "S&end Group", with the file dialogs answered by the given paths.
    TF_NewMsg *openMessage()
    {
        menuAction("Groupsend1")->trigger();
        TF_NewMsg *window = mdi->F_NewMsg.data();
        if (window) {
            window->chooseSaveFile = [this](const QString &start) { startFolders.append(start); return savePath; };
            window->chooseOpenFile = [this](const QString &start) { startFolders.append(start); return openPath; };
        }
        return window;
    }

    void closeMessage()
    {
        mdi->F_NewMsg->close();
        ASSERT_TRUE(waitFor([&] { return mdi->F_NewMsg.isNull(); }));
    }

    void chooseGroup(TF_NewMsg *window, const QString &group)
    {
        const int row = window->co_Group->findText(group);
        ASSERT_GE(row, 0);
        window->co_Group->setCurrentIndex(row);
        emit window->co_Group->activated(row);
    }

    void save() { button("bu_Save")->click(); }
    void load() { button("bu_Ladda")->click(); }

    QString savePath;
    QString openPath;
    QStringList startFolders;
};

TEST_F(MessageWindowTest, SendGroupOpensTheWindowWithSignaturesAndPanel)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\n");
    folder.writeFile("SIGNATURE/Best.Wishes.SIG", "Best\r\n");
    session->Draft().Attachments = {"/left/over"};
    EXPECT_TRUE(button("bu_SendGrp")->isEnabled());
    button("bu_SendGrp")->click();
    TF_NewMsg *window = mdi->F_NewMsg.data();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "New message");
    EXPECT_EQ(window->size(), QSize(424, 341));
    EXPECT_EQ(itemsOf(window->co_Signature), QStringList({"None", "BEST.WISHES", "GREETING"}));
    EXPECT_EQ(window->co_Signature->currentText(), "None");
    EXPECT_EQ(window->co_Group->currentText(), "") << "no group is chosen yet";
    EXPECT_EQ(itemsOf(window->co_Group), QStringList({"Club", "Friends"}));
    EXPECT_EQ(window->Label4->text(), "Attached file(s):");
    EXPECT_TRUE(session->Draft().Attachments.isEmpty()) << "a new message starts without attachments";
    EXPECT_TRUE(mdi->pa_NewMsg()->isVisible());
    EXPECT_TRUE(mdi->pa_NewMsg()->isEnabled());
    EXPECT_FALSE(mdi->pa_Signature()->isVisible());
    expectAccessibleNames(window);
}

TEST_F(MessageWindowTest, GroupsAnotherProgramAddsJoinTheListAndTheChosenGroupStays)
{
    TF_NewMsg *window = openMessage();
    ASSERT_NE(window, nullptr);
    chooseGroup(window, "Friends");
    ASSERT_TRUE(runSecondProgram(folder, "INSERT INTO GROUPS (Grupp) VALUES ('Aardvarks')"));
    EXPECT_TRUE(waitInEventLoop([&] { return window->co_Group->count() == 3; }, 2000));
    EXPECT_EQ(window->co_Group->currentText(), "Friends");
}

TEST_F(MessageWindowTest, EmptySignatureFolderOffersOnlyNone)
{
    TF_NewMsg *window = openMessage();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(itemsOf(window->co_Signature), QStringList{"None"});
    EXPECT_TRUE(QDir(folder.file("SIGNATURE")).exists());
}

TEST_F(MessageWindowTest, SignatureFolderThatCannotBeMadeStopsTheCommand)
{
    folder.writeFile("SIGNATURE", "a file in the folder's place");
    EXPECT_EQ(openMessage(), nullptr);
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
}

TEST_F(MessageWindowTest, ReturningToTheWindowResetsTheSignature)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\n");
    TF_NewMsg *window = openMessage();
    window->co_Signature->setCurrentIndex(1);
    ASSERT_EQ(window->co_Signature->currentText(), "GREETING");
    QMdiSubWindow *other = mdi->mdiArea()->addSubWindow(new QWidget);
    other->show();
    mdi->mdiArea()->setActiveSubWindow(other);
    EXPECT_FALSE(mdi->pa_NewMsg()->isVisible());
    folder.writeFile("SIGNATURE/Regards.sig", "R\r\n");
    menuAction("Groupsend1")->trigger();
    EXPECT_EQ(mdi->F_NewMsg.data(), window);
    EXPECT_EQ(window->co_Signature->currentText(), "None");
    EXPECT_EQ(itemsOf(window->co_Signature), QStringList({"None", "GREETING", "REGARDS"}));
}

TEST_F(MessageWindowTest, SignatureBoxTakesNoTyping)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\n");
    TF_NewMsg *window = openMessage();
    window->co_Signature->setFocus();
    QTest::keyClicks(window->co_Signature, "xyz");
    EXPECT_EQ(window->co_Signature->currentText(), "None");
    QTest::keyClick(window->co_Signature, Qt::Key_Down);
    EXPECT_EQ(window->co_Signature->currentText(), "GREETING") << "choosing from the list still works";
}

TEST_F(MessageWindowTest, ChoosingAGroupMakesItCurrentAndSurvivesARefresh)
{
    TF_NewMsg *window = openMessage();
    chooseGroup(window, "Friends");
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Friends");
    dm->ta_Group.Refresh();
    EXPECT_EQ(window->co_Group->currentText(), "Friends");
}

TEST_F(MessageWindowTest, SaveThenLoadRestoresAllButTheGroup)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\n");
    TF_NewMsg *window = openMessage();
    chooseGroup(window, "Friends");
    window->co_Signature->setCurrentIndex(1);
    session->Draft().Attachments = {"/home/u/a.pdf", "/srv/b.txt"};
    window->e_subject->setText("Meeting");
    window->mo_Message->setPlainText("Hello all,\n\nSee you.");
    savePath = folder.file("MSG/meeting.MSG");
    save();
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_EQ(startFolders, QStringList{folder.file("MSG")});
    EXPECT_EQ(folder.readFile("MSG/meeting.MSG"),
              "Hello all,\r\n\r\nSee you.\r\n<END OF MESSAGE>\r\nFriends\r\nGREETING\r\n/home/u/a.pdf;/srv/b.txt;\r\nMeeting\r\n");
    closeMessage();

    dm->ta_Group.First();
    window = openMessage();
    openPath = savePath;
    load();
    EXPECT_TRUE(prompts.shown().isEmpty());
    EXPECT_EQ(window->co_Group->currentText(), "") << "the group is not restored";
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "Club");
    EXPECT_EQ(window->co_Signature->currentText(), "GREETING");
    EXPECT_EQ(window->co_Signature->currentIndex(), 1) << "the list shows the loaded signature chosen";
    EXPECT_EQ(session->Draft().Attachments, QStringList({"/home/u/a.pdf", "/srv/b.txt"}));
    EXPECT_EQ(itemsOf(window->co_AttachedFiles), session->Draft().Attachments);
    EXPECT_EQ(window->co_AttachedFiles->currentIndex(), 0);
    EXPECT_EQ(window->Label4->text(), "Attached file(s): 2");
    EXPECT_EQ(window->e_subject->text(), "Meeting");

    // Saved again unchanged, the file reads back byte for byte.
    const QByteArray first = folder.readFile("MSG/meeting.MSG");
    chooseGroup(window, "Friends");
    savePath = folder.file("MSG/again.MSG");
    save();
    EXPECT_EQ(folder.readFile("MSG/again.MSG"), first);
}

TEST_F(MessageWindowTest, UnknownSignatureNameIsShownAsLoaded)
{
    folder.writeFile("MSG/x.MSG", "t\r\n<END OF MESSAGE>\r\nClub\r\nVANISHED\r\n\r\ns\r\n");
    TF_NewMsg *window = openMessage();
    openPath = folder.file("MSG/x.MSG");
    load();
    EXPECT_EQ(window->co_Signature->currentText(), "VANISHED");
    EXPECT_EQ(window->Label4->text(), "Attached file(s): 0");
}

TEST_F(MessageWindowTest, SavingWithoutChosenGroupWritesTheCurrentGroup)
{
    TF_NewMsg *window = openMessage();
    dm->ta_Group.Last();
    ASSERT_EQ(window->co_Group->currentText(), "");
    savePath = folder.file("MSG/g.MSG");
    save();
    TMessageFile saved;
    ASSERT_TRUE(saved.Load(savePath));
    EXPECT_EQ(saved.Group, "Friends");
    EXPECT_TRUE(saved.Text.isEmpty()) << "an empty text box has no lines";
    EXPECT_TRUE(saved.Attachments.isEmpty());
    EXPECT_EQ(folder.readFile("MSG/g.MSG"), "<END OF MESSAGE>\r\nFriends\r\nNone\r\n\r\n\r\n");
}

TEST_F(MessageWindowTest, WrappedLinesAreSavedAsDisplayed)
{
    TF_NewMsg *window = openMessage();
    const QString paragraph = QString("lorem ipsum ").repeated(40).trimmed();
    window->mo_Message->setPlainText("short\n" + paragraph);
    savePath = folder.file("MSG/w.MSG");
    save();
    TMessageFile saved;
    ASSERT_TRUE(saved.Load(savePath));
    ASSERT_GT(saved.Text.size(), 2) << "the long paragraph is several lines";
    EXPECT_EQ(saved.Text[0], "short");
    EXPECT_EQ(saved.Text.mid(1).join(QString()), paragraph);
    const int width = window->mo_Message->viewport()->width();
    const QFontMetrics metrics(window->mo_Message->font());
    for (const QString &line : saved.Text)
        EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), width) << line.toStdString();
}

TEST_F(MessageWindowTest, AHugeWordLoadsWholeAndFitsTheBox)
{
    TMessageFile file;
    const QString word = QString("0123456789").repeated(500); // 5000 characters without a blank
    file.Text = {"before", "a " + word + " z", "after"};
    file.Signature = "None";
    openPath = folder.file("MSG/huge.MSG");
    QDir().mkpath(folder.file("MSG"));
    ASSERT_TRUE(file.Save(openPath));
    TF_NewMsg *window = openMessage();
    load();
    const QStringList shown = DisplayedLines::of(window->mo_Message);
    EXPECT_EQ(shown.first(), "before");
    EXPECT_EQ(shown.last(), "after");
    EXPECT_EQ(shown.mid(1, shown.size() - 2).join(QString()), "a " + word + " z") << "nothing lost or added";
    const QFontMetrics metrics(window->mo_Message->font());
    for (const QString &line : shown)
        EXPECT_LE(metrics.horizontalAdvance(line.trimmed()), window->mo_Message->viewport()->width());
}

TEST_F(MessageWindowTest, LoadingTwiceDoublesTheAttachments)
{
    TMessageFile message;
    message.Signature = "None";
    message.Attachments = {"/a/one.txt", "/b/two.txt"};
    ASSERT_TRUE(QDir().mkpath(folder.file("MSG")));
    ASSERT_TRUE(message.Save(folder.file("MSG/two.MSG")));
    TF_NewMsg *window = openMessage();
    openPath = folder.file("MSG/two.MSG");
    load();
    load();
    EXPECT_EQ(session->Draft().Attachments, QStringList({"/a/one.txt", "/b/two.txt", "/a/one.txt", "/b/two.txt"}));
    EXPECT_EQ(window->Label4->text(), "Attached file(s): 4");
    EXPECT_EQ(window->co_AttachedFiles->count(), 4);
}

TEST_F(MessageWindowTest, FailedLoadNamesTheFileAndKeepsTheMessage)
{
    folder.writeFile("MSG/cut.MSG", "only text\r\nno marker\r\n");
    TF_NewMsg *window = openMessage();
    window->e_subject->setText("mine");
    window->mo_Message->setPlainText("my text");
    session->Draft().Attachments = {"/keep/me"};
    for (const QString &name : {QString("MSG/cut.MSG"), QString("MSG/absent.MSG")}) {
        openPath = folder.file(name);
        load();
        ASSERT_FALSE(prompts.shown().isEmpty());
        EXPECT_EQ(prompts.shown().last().kind, PromptKind::Error);
        EXPECT_TRUE(prompts.shown().last().text.contains(openPath)) << prompts.shown().last().text.toStdString();
    }
    EXPECT_EQ(window->e_subject->text(), "mine");
    EXPECT_EQ(window->mo_Message->toPlainText(), "my text");
    EXPECT_EQ(session->Draft().Attachments, QStringList{"/keep/me"});
}

TEST_F(MessageWindowTest, CancelledDialogsChangeNothing)
{
    TF_NewMsg *window = openMessage();
    window->e_subject->setText("mine");
    save();
    load();
    EXPECT_EQ(startFolders, QStringList({folder.file("MSG"), folder.file("MSG")}));
    EXPECT_TRUE(QDir(folder.file("MSG")).exists()) << "the dialogs start in an existing folder";
    EXPECT_TRUE(QDir(folder.file("MSG")).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(window->e_subject->text(), "mine");
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(MessageWindowTest, FailedSaveIsReported)
{
    openMessage();
    savePath = folder.file("MSG/no/such/folder/x.MSG");
    save();
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown()[0].text.contains(savePath));
}

TEST_F(MessageWindowTest, ATextLineThatReadsAsTheMarkerIsRefusedWithAMessage)
{
    TF_NewMsg *window = openMessage();
    ASSERT_NE(window, nullptr);
    window->mo_Message->setPlainText("Agenda\n<END OF MESSAGE>\nSee you");
    savePath = folder.file("MSG/marker.MSG");
    save();
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown()[0].text.contains("\"<END OF MESSAGE>\", which ends the text"))
        << prompts.shown()[0].text.toStdString();
    EXPECT_FALSE(QFile::exists(savePath));
    EXPECT_EQ(window->mo_Message->toPlainText(), "Agenda\n<END OF MESSAGE>\nSee you") << "the text stays to be mended";
}

TEST_F(MessageWindowTest, PickerShowsTheAttachmentsAndConfirmsItsList)
{
    folder.writeFile("files/report.txt", "r");
    TF_NewMsg *window = openMessage();
    session->Draft().Attachments = {"/earlier/notes.txt"};
    window->pickerFolder = folder.file("files");
    QStringList shownAtStart;
    QString startFolder;
    whenModal<TF_NewMsgA>([&](TF_NewMsgA &picker) {
        shownAtStart = picker.shownEntries();
        startFolder = picker.currentFolder();
        EXPECT_EQ(picker.windowTitle(), "Attachments");
        const QPoint offCentre = picker.frameGeometry().center() - mdi->frameGeometry().center();
        EXPECT_LE(offCentre.manhattanLength(), 8) << "centred over the main window";
        // Choosing files in the picker's list is the picker's own test; here
        // the window must take whatever the picker holds when confirmed.
        picker.setAttachments({folder.file("files/report.txt")});
        picker.btn_ok->click();
    });
    button("bu_AttachGrpMail")->click();
    EXPECT_EQ(shownAtStart, QStringList{"notes.txt"});
    EXPECT_EQ(startFolder, folder.file("files"));
    EXPECT_EQ(session->Draft().Attachments, QStringList({"/earlier/notes.txt", folder.file("files/report.txt")}));
    EXPECT_EQ(itemsOf(window->co_AttachedFiles), QStringList({"notes.txt", "report.txt"}));
    EXPECT_EQ(window->co_AttachedFiles->currentIndex(), 0);
    EXPECT_EQ(window->Label4->text(), "Attached file(s): 2");
}

TEST_F(MessageWindowTest, CancelledPickerChangesNothing)
{
    TF_NewMsg *window = openMessage();
    session->Draft().Attachments = {"/earlier/notes.txt"};
    window->pickerFolder = folder.path();
    whenModal<TF_NewMsgA>([](TF_NewMsgA &picker) {
        picker.btn_del->click();
        picker.lbx_attach->item(0)->setSelected(true);
        picker.btn_del->click();
        EXPECT_TRUE(picker.realEntries().isEmpty());
        QTest::keyClick(&picker, Qt::Key_Escape);
    });
    button("bu_AttachGrpMail")->click();
    EXPECT_EQ(session->Draft().Attachments, QStringList{"/earlier/notes.txt"});
    EXPECT_EQ(window->Label4->text(), "Attached file(s):");
    EXPECT_EQ(window->co_AttachedFiles->count(), 0);
}

}
