#pragma once

#include "platform/Exception.h"

// Raised by the SMTP client for an attachment that does not exist or cannot
// be read.
class SmtpException : public Exception
{
public:
    using Exception::Exception;
};
