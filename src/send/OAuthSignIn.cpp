#include "send/OAuthSignIn.h"

#include "send/OAuthLoopback.h"

#include <QCryptographicHash>
#include <QDesktopServices>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTimer>
#include <QUrl>

namespace {

QString base64Url(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

QString randomText()
{
    QByteArray bytes(32, Qt::Uninitialized);
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return base64Url(bytes);
}

// The provider's page the browser opens: the code flow with our PKCE
// challenge, the loopback redirect and the state the redirect must echo.
QUrl authorizationUrl(const TOAuthProvider &provider, const QString &redirectUri, const QString &state,
                      const QString &challenge, const QString &user)
{
    QUrl url(provider.authorizationEndpoint.trimmed());
    QUrlQuery query(url);
    query.addQueryItem(QStringLiteral("response_type"), QStringLiteral("code"));
    query.addQueryItem(QStringLiteral("client_id"), provider.clientId.trimmed());
    query.addQueryItem(QStringLiteral("redirect_uri"), redirectUri);
    query.addQueryItem(QStringLiteral("scope"), provider.scope);
    query.addQueryItem(QStringLiteral("state"), state);
    query.addQueryItem(QStringLiteral("code_challenge"), challenge);
    query.addQueryItem(QStringLiteral("code_challenge_method"), QStringLiteral("S256"));
    if (!user.trimmed().isEmpty())
        query.addQueryItem(QStringLiteral("login_hint"), user.trimmed());
    for (const auto &[name, value] : provider.extraParameters)
        query.addQueryItem(name, value);
    url.setQuery(query);
    return url;
}

}

TOAuthSignIn::TOAuthSignIn(QObject *parent) : QObject(parent) {}

QString TOAuthSignIn::NewVerifier()
{
    return randomText();
}

QString TOAuthSignIn::Challenge(const QString &verifier)
{
    return base64Url(QCryptographicHash::hash(verifier.toLatin1(), QCryptographicHash::Sha256));
}

void TOAuthSignIn::Cancel()
{
    if (!m_wait)
        return;
    m_cancelled = true;
    m_wait->quit();
}

TOAuthSignIn::Result TOAuthSignIn::Run(const TOAuthProvider &provider, const QString &clientSecret,
                                       const QString &user)
{
    Result result;
    const QString who = provider.DisplayName();
    if (Running()) {
        result.failure = QStringLiteral("A sign-in is already waiting for the browser");
        return result;
    }
    if (const QString incomplete = provider.Incomplete(); !incomplete.isEmpty()) {
        result.failure = incomplete;
        return result;
    }
    TOAuthLoopback loopback;
    if (!loopback.listen()) {
        result.failure = QStringLiteral("The sign-in could not start: no port for the browser's answer (%1)")
                             .arg(loopback.error());
        return result;
    }
    const QString verifier = NewVerifier();
    const QString state = randomText();
    const QUrl url = authorizationUrl(provider, loopback.redirectUri(), state, Challenge(verifier), user);

    std::optional<QUrlQuery> redirect;
    QEventLoop wait;
    m_wait = &wait;
    m_cancelled = false;
    connect(&loopback, &TOAuthLoopback::redirected, &wait, [&](const QUrlQuery &answer) {
        redirect = answer;
        wait.quit();
    });
    QTimer timeout;
    timeout.setSingleShot(true);
    connect(&timeout, &QTimer::timeout, &wait, &QEventLoop::quit);
    timeout.start(TimeoutSeconds * 1000);
    // A handler that answers at once (a test's browser) may redirect before
    // the wait starts: the loop is then left at once.
    if (!QDesktopServices::openUrl(url)) {
        result.failure = QStringLiteral("The sign-in could not start: no web browser could be opened");
        return result;
    }
    if (!redirect && !m_cancelled)
        wait.exec();
    m_wait = nullptr;

    if (!redirect) {
        result.failure = m_cancelled ? QStringLiteral("The sign-in was cancelled")
                                     : QStringLiteral("The sign-in did not end within %1 seconds: the browser "
                                                      "was closed or the sign-in given up")
                                           .arg(TimeoutSeconds);
        return result;
    }
    const auto item = [&](const char *name) {
        return redirect->queryItemValue(QLatin1String(name), QUrl::FullyDecoded);
    };
    if (item("state") != state) {
        result.failure = QStringLiteral("The sign-in was refused: the browser's answer does not belong to this "
                                        "sign-in (its state does not match)");
        return result;
    }
    const QString code = item("code");
    if (code.isEmpty()) {
        const QString said = TOAuthTokenEndpoint::describeError(item("error"), item("error_description"));
        result.failure = QStringLiteral("%1 sent no authorization code").arg(who);
        if (!said.isEmpty())
            result.failure += QStringLiteral(" (%1)").arg(said);
        return result;
    }
    const TOAuthTokenEndpoint::Answer answer =
        TOAuthTokenEndpoint::exchangeCode(provider, clientSecret, code, verifier, loopback.redirectUri());
    if (answer.outcome != TOAuthTokenEndpoint::Outcome::Granted) {
        result.failure = QStringLiteral("The sign-in failed: %1").arg(answer.failure);
        return result;
    }
    if (answer.tokens.refreshToken.isEmpty()) {
        result.failure = QStringLiteral("The sign-in failed: %1 gave no refresh token, so the programs could not "
                                        "send later without a new sign-in")
                             .arg(who);
        return result;
    }
    result.tokens = answer.tokens;
    return result;
}
