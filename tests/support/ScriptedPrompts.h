#pragma once

#include "platform/Prompts.h"

#include <QList>
#include <QString>
#include <QStringList>

// A prompt service for tests: records every box shown and answers the boxes
// that offer a choice from a script. A choice with no scripted answer fails
// the test and gets the default (first) button.
class ScriptedPrompts : public PromptService
{
public:
    struct Shown
    {
        PromptKind kind;
        QString text;
        PromptButtons buttons;
    };

    ScriptedPrompts();
    ~ScriptedPrompts() override;

    void answer(PromptAnswer answer) { m_answers.append(answer); }
    // The answer to the next password question; nothing is a cancel.
    void answerPassword(std::optional<QString> password) { m_passwords.append(password); }
    // The texts of the password questions asked.
    const QStringList &passwordQuestions() const { return m_passwordQuestions; }
    // Answers every box with its default button without failing.
    void answerAllWithDefault() { m_answerAll = true; }

    const QList<Shown> &shown() const { return m_shown; }
    QStringList texts() const;
    int pendingAnswers() const { return static_cast<int>(m_answers.size()); }

    PromptAnswer show(PromptKind kind, const QString &text, PromptButtons buttons) override;
    std::optional<QString> askPassword(const QString &text) override;

private:
    PromptService::Scope m_scope;
    QList<PromptAnswer> m_answers;
    QList<std::optional<QString>> m_passwords;
    QStringList m_passwordQuestions;
    QList<Shown> m_shown;
    bool m_answerAll = false;
};
