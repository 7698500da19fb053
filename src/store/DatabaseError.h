#pragma once

#include "platform/Exception.h"

// An error raised by the store's engine: a failed statement, a locked or
// unreadable database, a required field left empty.
class EDatabaseError : public Exception
{
public:
    using Exception::Exception;
};
