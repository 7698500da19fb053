#pragma once

#include "platform/Prompts.h"

// The prompt service of the running programs: real modal message boxes.
class MessageBoxPrompts : public PromptService
{
public:
    PromptAnswer show(PromptKind kind, const QString &text, PromptButtons buttons) override;
    std::optional<QString> askPassword(const QString &text) override;
};
