#include "platform/MessageBoxPrompts.h"
#include "support/ScriptedPrompts.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Presses a key on the message box once it is up and records what it showed.
struct BoxPresser
{
    QString text;
    QString caption;
    QStringList buttons;

    void pressWhenShown(Qt::Key key)
    {
        QTimer::singleShot(0, [this, key] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            text = box->text();
            caption = box->windowTitle();
            for (QAbstractButton *b : box->buttons())
                buttons.append(b->text().remove(u'&'));
            QTest::keyClick(box, key);
        });
    }
};

TEST(MessageBoxPrompts, FirstButtonIsTheDefault)
{
    MessageBoxPrompts prompts;
    BoxPresser presser;
    presser.pressWhenShown(Qt::Key_Return);
    EXPECT_EQ(prompts.show(PromptKind::Confirmation, "Exit Corvane 98?", PromptButtons::YesNo), PromptAnswer::Yes);
    EXPECT_EQ(presser.text, "Exit Corvane 98?");
    EXPECT_EQ(presser.caption, "Confirm");
    EXPECT_TRUE(presser.buttons.contains("Yes") && presser.buttons.contains("No"));

    presser.pressWhenShown(Qt::Key_Return);
    EXPECT_EQ(prompts.show(PromptKind::Error, "ERROR!", PromptButtons::OkCancel), PromptAnswer::Ok);
    EXPECT_EQ(presser.caption, "Error");
}

TEST(MessageBoxPrompts, EscapeAnswersTheSecondButton)
{
    MessageBoxPrompts prompts;
    BoxPresser presser;
    presser.pressWhenShown(Qt::Key_Escape);
    EXPECT_EQ(prompts.show(PromptKind::Confirmation, "Continue?", PromptButtons::OkCancel), PromptAnswer::Cancel);
}

TEST(PromptService, ScopeRestoresThePreviousService)
{
    PromptService *outer = &PromptService::current();
    {
        ScriptedPrompts prompts;
        prompts.answer(PromptAnswer::No);
        EXPECT_EQ(Prompt::confirm("Are you sure?"), PromptAnswer::No);
        Prompt::error("wrong");
        ASSERT_EQ(prompts.shown().size(), 2);
        EXPECT_EQ(prompts.shown()[1].kind, PromptKind::Error);
        EXPECT_EQ(prompts.shown()[1].buttons, PromptButtons::Ok);
    }
    EXPECT_EQ(&PromptService::current(), outer);
}

// A service that notes whether the system knew a box was open while it was.
class NotingPrompts : public PromptService
{
public:
    PromptAnswer show(PromptKind, const QString &, PromptButtons) override
    {
        if (!nested)
            return PromptAnswer::Ok;
        nested = false;
        showingWhileOpen = Prompt::showing();
        Prompt::error("inner");
        stillShowingAfterInner = Prompt::showing();
        return PromptAnswer::Yes;
    }
    bool nested = false;
    bool showingWhileOpen = false;
    bool stillShowingAfterInner = false;
};

TEST(Prompts, KnowWhileABoxIsOpenAlsoWhenBoxesNest)
{
    NotingPrompts noting;
    PromptService::Scope scope(noting);
    EXPECT_FALSE(Prompt::showing());
    noting.nested = true;
    Prompt::confirm("Outer?");
    EXPECT_TRUE(noting.showingWhileOpen);
    EXPECT_TRUE(noting.stillShowingAfterInner) << "the outer box is still open";
    EXPECT_FALSE(Prompt::showing());
}

}
