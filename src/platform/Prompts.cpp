#include "platform/Prompts.h"

#include <QDebug>

namespace {

class DefaultAnswerService : public PromptService
{
public:
    PromptAnswer show(PromptKind, const QString &text, PromptButtons buttons) override
    {
        qWarning().noquote() << "message box without a prompt service:" << text;
        switch (buttons) {
        case PromptButtons::YesNo:
            return PromptAnswer::Yes;
        case PromptButtons::Ok:
        case PromptButtons::OkCancel:
            break;
        }
        return PromptAnswer::Ok;
    }
};

DefaultAnswerService s_defaultService;

int s_showing = 0;

struct Showing
{
    Showing() { ++s_showing; }
    ~Showing() { --s_showing; }
};

PromptAnswer showCounted(PromptKind kind, const QString &text, PromptButtons buttons)
{
    Showing showing;
    return PromptService::current().show(kind, text, buttons);
}

}

PromptService *PromptService::s_current = &s_defaultService;

std::optional<QString> PromptService::askPassword(const QString &text)
{
    qWarning().noquote() << "password asked for without a prompt service:" << text;
    return std::nullopt;
}

PromptService &PromptService::current()
{
    return *s_current;
}

PromptService::Scope::Scope(PromptService &service) : m_previous(s_current)
{
    s_current = &service;
}

PromptService::Scope::~Scope()
{
    s_current = m_previous;
}

namespace Prompt {

PromptAnswer confirm(const QString &text, PromptButtons buttons)
{
    return showCounted(PromptKind::Confirmation, text, buttons);
}

void error(const QString &text)
{
    showCounted(PromptKind::Error, text, PromptButtons::Ok);
}

void warning(const QString &text)
{
    showCounted(PromptKind::Warning, text, PromptButtons::Ok);
}

void information(const QString &text)
{
    showCounted(PromptKind::Information, text, PromptButtons::Ok);
}

void message(const QString &text)
{
    showCounted(PromptKind::Plain, text, PromptButtons::Ok);
}

PromptAnswer errorWithChoice(const QString &text, PromptButtons buttons)
{
    return showCounted(PromptKind::Error, text, buttons);
}

std::optional<QString> password(const QString &text)
{
    Showing showing;
    return PromptService::current().askPassword(text);
}

bool showing()
{
    return s_showing > 0;
}

}
