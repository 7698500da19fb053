#pragma once

#include "send/OAuthTokenEndpoint.h"

#include <QObject>
#include <QPointer>
#include <optional>

class QEventLoop;

// A sign-in in the system browser by the authorization code flow with PKCE
// (RFC 7636, S256) and a loopback redirect (RFC 8252): the browser is opened
// through QDesktopServices, the redirect's state is checked against ours and
// its code traded for tokens. Nothing is kept here: the caller stores what a
// sign-in that succeeded hands back, so one that fails changes nothing.
class TOAuthSignIn : public QObject
{
    Q_OBJECT
public:
    // How long the browser is waited for before the sign-in is given up.
    static constexpr int DefaultTimeoutSeconds = 300;

    struct Result
    {
        std::optional<TOAuthTokens> tokens;
        // Why there are none, in words for the user.
        QString failure;
    };

    explicit TOAuthSignIn(QObject *parent = nullptr);

    int TimeoutSeconds = DefaultTimeoutSeconds;

    // Runs the whole sign-in, waiting in a nested event loop until the
    // browser comes back, the time-out ends it or Cancel does.
    Result Run(const TOAuthProvider &provider, const QString &clientSecret, const QString &user);
    bool Running() const { return !m_wait.isNull(); }
    // Gives up a sign-in that is running; ignored otherwise.
    void Cancel();

    // The PKCE verifier: 43 characters of the unreserved set from 32 random
    // bytes; and its S256 challenge.
    static QString NewVerifier();
    static QString Challenge(const QString &verifier);

private:
    QPointer<QEventLoop> m_wait;
    bool m_cancelled = false;
};
