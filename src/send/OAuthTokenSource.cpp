#include "send/OAuthTokenSource.h"

#include "platform/Clock.h"
#include "platform/Prompts.h"
#include "send/SmtpLogin.h"

#include <algorithm>

namespace {

// A token is renewed this long before it expires, or a tenth of its
// lifetime before where it lives shorter: the session may take a while
// between asking for it and the server checking it.
constexpr qint64 RenewalMarginSeconds = 60;

bool sameAccount(const TOAuthProvider &a, const TOAuthProvider &b)
{
    return a.tokenEndpoint == b.tokenEndpoint && a.clientId == b.clientId;
}

}

TOAuthTokenSource::TOAuthTokenSource(TSmtpLogin &login) : m_login(login) {}

void TOAuthTokenSource::setAccount(const TOAuthProvider &provider, const QString &user)
{
    if (!sameAccount(provider, m_provider) || user.trimmed() != m_user)
        m_held.reset();
    m_provider = provider;
    m_user = user.trimmed();
}

QString TOAuthTokenSource::who() const
{
    return QStringLiteral("%1 as '%2'").arg(m_provider.DisplayName(), m_user);
}

QString TOAuthTokenSource::keptClientSecret(const TOAuthProvider &provider)
{
    const SecretStore::Answer kept = m_login.Find(provider.ClientSecretKey());
    return kept.status == SecretStore::Status::Ok ? kept.secret : QString();
}

void TOAuthTokenSource::hold(const TOAuthTokens &tokens)
{
    const QDateTime now = Clock::currentDateTime();
    const qint64 margin = std::min(RenewalMarginSeconds, now.secsTo(tokens.expiresAt) / 10);
    m_held = tokens;
    m_refreshAt = tokens.expiresAt.addSecs(-margin);
    m_needsSignIn = false;
}

TOAuthTokenSource::SignInResult TOAuthTokenSource::SignIn(const TOAuthProvider &provider, const QString &user,
                                                          const QString &clientSecret)
{
    SignInResult result;
    if (user.trimmed().isEmpty()) {
        result.failure = QStringLiteral("Enter the user name (the account's address) before signing in");
        return result;
    }
    const QString secret = clientSecret.isEmpty() ? keptClientSecret(provider) : clientSecret;
    const TOAuthSignIn::Result signedIn = m_browser.Run(provider, secret, user);
    if (!signedIn.tokens) {
        result.failure = signedIn.failure;
        return result;
    }
    setAccount(provider, user);
    result.storeError = m_login.Keep(provider.AccountKey(m_user), signedIn.tokens->refreshToken);
    if (!clientSecret.isEmpty()) {
        const QString error = m_login.Keep(provider.ClientSecretKey(), clientSecret);
        if (result.storeError.isEmpty())
            result.storeError = error;
    }
    hold(*signedIn.tokens);
    return result;
}

bool TOAuthTokenSource::SignedIn(const TOAuthProvider &provider, const QString &user)
{
    return m_login.Find(provider.AccountKey(user)).status == SecretStore::Status::Ok;
}

std::optional<QString> TOAuthTokenSource::accessToken(bool renew, QString &failure)
{
    if (!renew && m_held && Clock::currentDateTime() < m_refreshAt)
        return m_held->accessToken;
    m_held.reset();
    // Settings changed by hand since the sign-in may name no usable endpoint.
    if (const QString incomplete = m_provider.Incomplete(); !incomplete.isEmpty()) {
        failure = QStringLiteral("No access token for %1: %2").arg(who(), incomplete);
        return std::nullopt;
    }
    const QString key = m_provider.AccountKey(m_user);
    const SecretStore::Answer kept = m_login.Find(key);
    if (kept.status == SecretStore::Status::NotFound)
        return signInAgain(QStringLiteral("Nobody has signed in to %1 yet").arg(who()), failure);
    if (kept.status != SecretStore::Status::Ok) {
        failure = QStringLiteral("No access token for %1: no secret store answers (%2)").arg(who(), kept.error);
        return std::nullopt;
    }
    const TOAuthTokenEndpoint::Answer answer =
        TOAuthTokenEndpoint::refresh(m_provider, keptClientSecret(m_provider), kept.secret);
    switch (answer.outcome) {
    case TOAuthTokenEndpoint::Outcome::Granted:
        // A provider that turns refresh tokens over hands out the next one
        // with each access token; the old one is then spent.
        if (!answer.tokens.refreshToken.isEmpty() && answer.tokens.refreshToken != kept.secret)
            m_login.Keep(key, answer.tokens.refreshToken);
        hold(answer.tokens);
        return m_held->accessToken;
    case TOAuthTokenEndpoint::Outcome::Refused:
        return signInAgain(QStringLiteral("The sign-in to %1 is no longer accepted (%2)").arg(who(), answer.failure),
                           failure);
    case TOAuthTokenEndpoint::Outcome::Unreachable:
        break;
    }
    failure = QStringLiteral("No access token for %1: %2").arg(who(), answer.failure);
    return std::nullopt;
}

std::optional<QString> TOAuthTokenSource::signInAgain(const QString &why, QString &failure)
{
    m_needsSignIn = true;
    if (!m_login.MayAsk) {
        failure = why + QStringLiteral(": sign in from the mailer under File > Network Settings");
        return std::nullopt;
    }
    if (Prompt::confirm(why + QStringLiteral(". Sign in in the browser now?")) != PromptAnswer::Yes) {
        failure = why + QStringLiteral(": not signed in again");
        return std::nullopt;
    }
    const SignInResult signedIn = SignIn(m_provider, m_user, QString());
    if (!signedIn.failure.isEmpty()) {
        failure = signedIn.failure;
        return std::nullopt;
    }
    return m_held->accessToken;
}
