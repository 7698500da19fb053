#pragma once

#include "platform/Exception.h"

// Socket and name-resolution failures of TWSocket.
class ESocketException : public Exception
{
public:
    using Exception::Exception;
};
