#pragma once

#include "connection/DialUp.h"
#include "send/OAuthTokenSource.h"
#include "send/SmtpLogin.h"
#include "platform/Wait.h"
#include "transport/SmtpClient.h"

#include <memory>

class DialUpBackend;

// The components a group send drives, set up as both programs' main windows
// have them: the countdown wait, the SMTP client waiting in it and the
// dial-up component, and the login's password kept in the desktop's secret
// store, or its OAuth 2.0 tokens. A program assembles these and a run over them without
// any window.
class TSendComponents
{
public:
    explicit TSendComponents(std::unique_ptr<DialUpBackend> dialUpBackend);

    TWait Wait1;
    TSmtpClient SmtpClient;
    TDialUp DialUp;
    TSmtpLogin Login;
    // The OAuth 2.0 tokens, kept with the login's secrets.
    TOAuthTokenSource Tokens{Login};
};
