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

}

PromptService *PromptService::s_current = &s_defaultService;

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
    return PromptService::current().show(PromptKind::Confirmation, text, buttons);
}

void error(const QString &text)
{
    PromptService::current().show(PromptKind::Error, text, PromptButtons::Ok);
}

void warning(const QString &text)
{
    PromptService::current().show(PromptKind::Warning, text, PromptButtons::Ok);
}

void information(const QString &text)
{
    PromptService::current().show(PromptKind::Information, text, PromptButtons::Ok);
}

void message(const QString &text)
{
    PromptService::current().show(PromptKind::Plain, text, PromptButtons::Ok);
}

PromptAnswer errorWithChoice(const QString &text, PromptButtons buttons)
{
    return PromptService::current().show(PromptKind::Error, text, buttons);
}

}
