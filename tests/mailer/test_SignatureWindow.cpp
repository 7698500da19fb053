#include "support/Accessibility.h"
#include "support/MainWindowFixture.h"
#include "support/ModalDialogs.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "mailer/TF_Mdi.h"
#include "mailer/TF_Sign.h"
#include "mailer/TF_Signature.h"
#include "support/TempProgramFolder.h"
#include "widgets/ToolPanel.h"
#include "support/WaitFor.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace {

class SignatureWindowTest : public MainWindowFixture
{
protected:
    TF_Signature *openList()
    {
        menuAction("Editsignature1")->trigger();
        return mdi->F_Signature.data();
    }

    QStringList listed() const
    {
        QStringList names;
        QTreeWidget *list = mdi->F_Signature->SignatureList;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            names.append(list->topLevelItem(i)->text(0));
        return names;
    }

    void select(const QString &name)
    {
        QTreeWidget *list = mdi->F_Signature->SignatureList;
        const QList<QTreeWidgetItem *> found = list->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        list->setCurrentItem(found.first());
    }

    QStringList files() const { return QDir(folder.file("SIGNATURE")).entryList(QDir::Files, QDir::Name); }

    // Fills the editor once it is shown and closes it with OK or Cancel.
    void answerEditor(const QString &name, const QString &text, bool ok, QString *shownName = nullptr,
                      QString *shownText = nullptr)
    {
        whenModal<TF_Sign>([=](TF_Sign &editor) {
            if (shownName)
                *shownName = editor.Ed_Name->text();
            if (shownText)
                *shownText = editor.Memo1->toPlainText();
            editor.Ed_Name->setText(name);
            editor.Memo1->setPlainText(text);
            (ok ? editor.Bu_OK : editor.BitBtn2)->click();
        });
    }

};

TEST_F(SignatureWindowTest, OpensFromMenuAndButtonWithItsPanel)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\n");
    EXPECT_TRUE(button("bu_Signatur")->isEnabled());
    button("bu_Signatur")->click();
    TF_Signature *window = mdi->F_Signature.data();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "Signature");
    EXPECT_EQ(window->size(), QSize(187, 273));
    const Qt::WindowFlags frame = window->parentWidget()->windowFlags();
    EXPECT_TRUE(frame.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(frame.testFlag(Qt::WindowMaximizeButtonHint)) << "a tool-window frame";
    EXPECT_FALSE(frame.testFlag(Qt::WindowMinimizeButtonHint)) << "a tool-window frame";
    EXPECT_EQ(listed(), QStringList{"GREETING"});
    EXPECT_EQ(session->FSignatureNames, QStringList{"GREETING"});
    EXPECT_TRUE(mdi->pa_Signature()->isVisible());
    EXPECT_TRUE(mdi->pa_Signature()->isEnabled());
    EXPECT_EQ(openList(), window) << "a second command brings the same list forward";
    expectAccessibleNames(window);

    QTest::keyClick(window->SignatureList, Qt::Key_Escape);
    EXPECT_TRUE(waitFor([&] { return mdi->F_Signature.isNull(); }));
    EXPECT_FALSE(mdi->pa_Signature()->isVisible());
}

TEST_F(SignatureWindowTest, ActivationRescansTheFolder)
{
    openList();
    EXPECT_TRUE(listed().isEmpty());
    folder.writeFile("SIGNATURE/new.sig", "x\r\n");
    QMdiSubWindow *other = mdi->mdiArea()->addSubWindow(new QWidget);
    other->show();
    mdi->mdiArea()->setActiveSubWindow(other);
    EXPECT_TRUE(listed().isEmpty());
    openList();
    EXPECT_EQ(listed(), QStringList{"NEW"}) << "coming back to the list rescans";
}

TEST_F(SignatureWindowTest, NewSignatureIsWrittenAsTheEditorShowsIt)
{
    openList();
    QString shownName = "unset";
    answerEditor("Regards", "Kind regards\nBo", true, &shownName);
    button("bu_NySignatur")->click();
    EXPECT_EQ(shownName, "") << "the editor starts empty";
    EXPECT_EQ(files(), QStringList{"Regards.SIG"});
    EXPECT_EQ(folder.readFile("SIGNATURE/Regards.SIG"), "Kind regards\r\nBo\r\n");
    EXPECT_EQ(listed(), QStringList{"REGARDS"});
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(SignatureWindowTest, LongLinesAreWrittenAsTheEditorWrapsThem)
{
    openList();
    const QString paragraph = QString("word ").repeated(80).trimmed();
    answerEditor("Long", paragraph, true);
    button("bu_NySignatur")->click();
    QStringList lines;
    ASSERT_TRUE(TSignatureFolder(folder.path()).read("LONG", lines));
    EXPECT_GT(lines.size(), 1) << "a paragraph wider than the box is several lines";
    EXPECT_EQ(lines.join(QString()), paragraph) << "split where the box wraps, nothing lost";
}

TEST_F(SignatureWindowTest, CancelChangesNoFile)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\n");
    openList();
    answerEditor("Other", "text", false);
    button("bu_NySignatur")->click();
    select("GREETING");
    answerEditor("Renamed", "changed", false);
    button("bu_EditSignatur")->click();
    EXPECT_EQ(files(), QStringList{"Greeting.sig"});
    EXPECT_EQ(folder.readFile("SIGNATURE/Greeting.sig"), "Hi\r\n");
    EXPECT_TRUE(prompts.shown().isEmpty());
}

TEST_F(SignatureWindowTest, EditingKeepsTheFileWhateverTheCaseOfItsName)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\nAnna\r\n");
    openList();
    select("GREETING");
    QString shownName, shownText;
    answerEditor("GREETING", "Hello\nAnna", true, &shownName, &shownText);
    button("bu_EditSignatur")->click();
    EXPECT_EQ(shownName, "GREETING");
    EXPECT_EQ(shownText, "Hi\nAnna\n");
    EXPECT_EQ(files(), QStringList{"Greeting.sig"}) << "the same file, never a second one beside it";
    EXPECT_EQ(folder.readFile("SIGNATURE/Greeting.sig"), "Hello\r\nAnna\r\n");
}

TEST_F(SignatureWindowTest, DoubleClickEditsAndRenames)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\n");
    openList();
    QTreeWidget *list = mdi->F_Signature->SignatureList;
    select("GREETING");
    answerEditor("Regards", "Hi", true);
    emit list->itemDoubleClicked(list->currentItem(), 0);
    EXPECT_EQ(files(), QStringList{"Regards.SIG"});
    EXPECT_EQ(listed(), QStringList{"REGARDS"});
}

TEST_F(SignatureWindowTest, DottedNameIsEditedAndDeleted)
{
    folder.writeFile("SIGNATURE/Best.Wishes.SIG", "Best\r\n");
    openList();
    ASSERT_EQ(listed(), QStringList{"BEST.WISHES"});
    select("BEST.WISHES");
    answerEditor("BEST.WISHES", "All the best", true);
    button("bu_EditSignatur")->click();
    EXPECT_EQ(folder.readFile("SIGNATURE/Best.Wishes.SIG"), "All the best\r\n");

    select("BEST.WISHES");
    prompts.answer(PromptAnswer::Yes);
    button("bu_DeleteSignatur")->click();
    EXPECT_EQ(prompts.texts(), QStringList{"Are you sure?"});
    EXPECT_EQ(prompts.shown()[0].buttons, PromptButtons::YesNo);
    EXPECT_TRUE(files().isEmpty());
    EXPECT_TRUE(listed().isEmpty());
}

TEST_F(SignatureWindowTest, DeleteAnsweredNoKeepsTheFile)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\n");
    openList();
    select("GREETING");
    prompts.answer(PromptAnswer::No);
    button("bu_DeleteSignatur")->click();
    EXPECT_EQ(files(), QStringList{"Greeting.sig"});
    EXPECT_EQ(listed(), QStringList{"GREETING"});
}

TEST_F(SignatureWindowTest, CommandsWithoutSelectionWarn)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\n");
    openList();
    button("bu_EditSignatur")->click();
    button("bu_DeleteSignatur")->click();
    EXPECT_EQ(prompts.texts(), QStringList({"You must select a Signature first!", "You must select a Signature first!"}));
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Warning);
    EXPECT_EQ(files(), QStringList{"Greeting.sig"});
}

TEST_F(SignatureWindowTest, VanishedFileIsReportedWithoutEditor)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\n");
    openList();
    select("GREETING");
    QFile::remove(folder.file("SIGNATURE/Greeting.sig"));
    button("bu_EditSignatur")->click();
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_TRUE(prompts.shown()[0].text.contains("GREETING.SIG")) << prompts.shown()[0].text.toStdString();
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(listed().isEmpty()) << "the list is rescanned";
}

TEST_F(SignatureWindowTest, UnwritableNameWarnsAndKeepsTheOldSignature)
{
    folder.writeFile("SIGNATURE/Greeting.sig", "Hi\r\n");
    openList();
    select("GREETING");
    answerEditor("a/b", "changed", true);
    button("bu_EditSignatur")->click();
    EXPECT_EQ(prompts.texts(), QStringList{"Cannot save signature!"});
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Warning);
    EXPECT_EQ(files(), QStringList{"Greeting.sig"});
    EXPECT_EQ(folder.readFile("SIGNATURE/Greeting.sig"), "Hi\r\n");
    EXPECT_EQ(listed(), QStringList{"GREETING"});
}

TEST_F(SignatureWindowTest, EditorIsCaptionlessAndNamed)
{
    TF_Sign editor;
    EXPECT_TRUE(editor.windowTitle().isEmpty());
    EXPECT_EQ(editor.size(), QSize(446, 236));
    expectAccessibleNames(&editor);
    editor.show();
    QTest::keyClick(editor.Memo1, Qt::Key_Escape);
    EXPECT_EQ(editor.result(), QDialog::Rejected);
    EXPECT_FALSE(editor.isVisible());
}

}
