#pragma once

#include "send/OAuthSignIn.h"
#include "transport/SmtpTokenSource.h"

class TSmtpLogin;

// The access tokens of an OAuth 2.0 login for both programs' runs. The
// refresh token is kept with the login's secrets (the desktop's secret
// store), keyed by the provider and the user; the access token is held in
// memory and refreshed shortly before it expires, or at once when the
// server has refused it. When the provider refuses the refresh, the mailer
// asks whether to sign in again in the browser; the agent (a login that may
// not ask) never opens one: its login fails saying to sign in from the mailer.
class TOAuthTokenSource : public SmtpTokenSource
{
public:
    explicit TOAuthTokenSource(TSmtpLogin &login);

    // The account the next logins are for; another account than before
    // forgets the access token held.
    void setAccount(const TOAuthProvider &provider, const QString &user);

    struct SignInResult
    {
        // Why the sign-in failed; empty when it succeeded.
        QString failure;
        // After a sign-in that succeeded: why the secret store did not take
        // the tokens, which are then held until the program ends.
        QString storeError;
    };
    // Signs the user in in the browser; only a sign-in that succeeded keeps
    // anything: the refresh token, the client secret where one is given
    // (empty: the one kept before), and the access token for the account.
    SignInResult SignIn(const TOAuthProvider &provider, const QString &user, const QString &clientSecret);
    TOAuthSignIn &Browser() { return m_browser; }
    // Whether a sign-in of the user at the provider is kept.
    bool SignedIn(const TOAuthProvider &provider, const QString &user);

    // Set after a login that failed because the user must sign in again
    // (never signed in, or the provider refused the refresh); cleared by a
    // token that was had.
    bool NeedsSignIn() const { return m_needsSignIn; }

    std::optional<QString> accessToken(bool renew, QString &failure) override;

private:
    QString who() const;
    QString keptClientSecret(const TOAuthProvider &provider);
    void hold(const TOAuthTokens &tokens);
    std::optional<QString> signInAgain(const QString &why, QString &failure);

    TSmtpLogin &m_login;
    TOAuthProvider m_provider;
    QString m_user;
    std::optional<TOAuthTokens> m_held;
    QDateTime m_refreshAt;
    bool m_needsSignIn = false;
    TOAuthSignIn m_browser;
};
