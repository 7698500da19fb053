#include "platform/ErrorReport.h"

#include "platform/Exception.h"
#include "platform/Prompts.h"

void showStandardError(const std::exception &error)
{
    Prompt::error(Exception::messageOf(error));
}
