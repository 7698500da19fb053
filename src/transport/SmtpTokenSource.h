#pragma once

#include <QString>
#include <optional>

// Where the SMTP client gets the access token of an OAuth 2.0 login. The
// source keeps the token and renews it as it sees fit; the client asks it to
// renew at once when the server has refused the token as stale. Each call
// ends before it returns.
class SmtpTokenSource
{
public:
    virtual ~SmtpTokenSource() = default;
    // The token to log in with; nothing, with failure set to a line for the
    // results, when none can be had.
    virtual std::optional<QString> accessToken(bool renew, QString &failure) = 0;
};
