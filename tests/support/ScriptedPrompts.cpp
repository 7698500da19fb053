#include "support/ScriptedPrompts.h"

#include <QStringList>
#include <gtest/gtest.h>

ScriptedPrompts::ScriptedPrompts() : m_scope(*this) {}

ScriptedPrompts::~ScriptedPrompts()
{
    EXPECT_TRUE(m_answers.isEmpty()) << m_answers.size() << " scripted answers were never asked for";
    EXPECT_TRUE(m_passwords.isEmpty()) << m_passwords.size() << " scripted passwords were never asked for";
}

QStringList ScriptedPrompts::texts() const
{
    QStringList result;
    for (const Shown &s : m_shown)
        result.append(s.text);
    return result;
}

PromptAnswer ScriptedPrompts::show(PromptKind kind, const QString &text, PromptButtons buttons)
{
    m_shown.append({kind, text, buttons});
    const PromptAnswer defaultAnswer = buttons == PromptButtons::YesNo ? PromptAnswer::Yes : PromptAnswer::Ok;
    if (buttons == PromptButtons::Ok)
        return PromptAnswer::Ok; // nothing to decide: such boxes take no scripted answer
    if (m_answers.isEmpty()) {
        if (!m_answerAll)
            ADD_FAILURE() << "unexpected message box: " << text.toStdString();
        return defaultAnswer;
    }
    return m_answers.takeFirst();
}

std::optional<QString> ScriptedPrompts::askPassword(const QString &text)
{
    m_passwordQuestions.append(text);
    if (m_passwords.isEmpty()) {
        ADD_FAILURE() << "unexpected password question: " << text.toStdString();
        return std::nullopt;
    }
    return m_passwords.takeFirst();
}
