#include "platform/ErrorReport.h"

#include "platform/Exception.h"
#include "platform/Prompts.h"

void showStandardError(const std::exception &error)
{
    const auto *own = dynamic_cast<const Exception *>(&error);
    Prompt::error(own ? own->message() : QString::fromLocal8Bit(error.what()));
}
