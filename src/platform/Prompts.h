#pragma once

#include <QString>
#include <optional>

// Every modal message box of the system goes through one prompt service, so
// that tests can answer the boxes and check their texts. The first button of
// each set is the default, as on the original platform.
enum class PromptKind { Plain, Confirmation, Error, Warning, Information };
enum class PromptButtons { Ok, OkCancel, YesNo };
enum class PromptAnswer { Ok, Cancel, Yes, No };

class PromptService
{
public:
    virtual ~PromptService() = default;
    virtual PromptAnswer show(PromptKind kind, const QString &text, PromptButtons buttons) = 0;
    // Asks for a password, shown as it is typed without its text; nothing
    // when the user cancels. Without a service nobody can answer: nothing.
    virtual std::optional<QString> askPassword(const QString &text);

    // The service in use; before one is installed, boxes are answered with
    // their default button and written to the diagnostic log.
    static PromptService &current();
    // Installs a service for the lifetime of the scope object.
    class Scope
    {
    public:
        explicit Scope(PromptService &service);
        ~Scope();
        Scope(const Scope &) = delete;
        Scope &operator=(const Scope &) = delete;

    private:
        PromptService *m_previous;
    };

private:
    static PromptService *s_current;
};

// The four kinds of box of the system, and the plain message.
namespace Prompt {
PromptAnswer confirm(const QString &text, PromptButtons buttons = PromptButtons::YesNo);
void error(const QString &text);
void warning(const QString &text);
void information(const QString &text);
void message(const QString &text);
// An error box with a choice of buttons, as the upgrade's "Continue?" asks.
PromptAnswer errorWithChoice(const QString &text, PromptButtons buttons);
std::optional<QString> password(const QString &text);
// True while a box is open: the user is answering a question about what the
// windows show now, so nothing may change it under them.
bool showing();
}
