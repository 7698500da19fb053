#include "send/OAuthTokenEndpoint.h"

#include "platform/Clock.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

// An access token without a lifetime is taken to last an hour, as both large
// providers' do; a wrong guess costs one refused login and a renewal.
constexpr qint64 AssumedLifetimeSeconds = 3600;

}

QString TOAuthTokenEndpoint::describeError(const QString &error, const QString &description)
{
    if (error.isEmpty())
        return description;
    return description.isEmpty() ? error : QStringLiteral("%1: %2").arg(error, description);
}

TOAuthTokenEndpoint::Answer TOAuthTokenEndpoint::exchangeCode(const TOAuthProvider &provider,
                                                              const QString &clientSecret, const QString &code,
                                                              const QString &verifier, const QString &redirectUri)
{
    QUrlQuery form;
    form.addQueryItem(QStringLiteral("grant_type"), QStringLiteral("authorization_code"));
    form.addQueryItem(QStringLiteral("code"), code);
    form.addQueryItem(QStringLiteral("code_verifier"), verifier);
    form.addQueryItem(QStringLiteral("redirect_uri"), redirectUri);
    return post(provider, clientSecret, form);
}

TOAuthTokenEndpoint::Answer TOAuthTokenEndpoint::refresh(const TOAuthProvider &provider, const QString &clientSecret,
                                                         const QString &refreshToken)
{
    QUrlQuery form;
    form.addQueryItem(QStringLiteral("grant_type"), QStringLiteral("refresh_token"));
    form.addQueryItem(QStringLiteral("refresh_token"), refreshToken);
    return post(provider, clientSecret, form);
}

TOAuthTokenEndpoint::Answer TOAuthTokenEndpoint::post(const TOAuthProvider &provider, const QString &clientSecret,
                                                      QUrlQuery form)
{
    form.addQueryItem(QStringLiteral("client_id"), provider.clientId.trimmed());
    if (!clientSecret.isEmpty())
        form.addQueryItem(QStringLiteral("client_secret"), clientSecret);
    const QString who = provider.DisplayName();

    QNetworkAccessManager network;
    QNetworkRequest request(QUrl(provider.tokenEndpoint.trimmed()));
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/x-www-form-urlencoded"));
    request.setRawHeader("Accept", "application/json");
    request.setTransferTimeout(TimeoutMs);
    // A form value may hold "+" or "&": each is sent percent-encoded.
    QByteArray body = form.toString(QUrl::FullyEncoded).toUtf8();
    body.replace('+', "%2B");
    QNetworkReply *reply = network.post(request, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();

    Answer answer;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QJsonObject json = QJsonDocument::fromJson(reply->readAll()).object();
    if (status == 0) {
        answer.failure = QStringLiteral("%1 could not be reached (%2)").arg(who, reply->errorString());
        return answer;
    }
    if (status != 200 || !json.value(QStringLiteral("error")).isUndefined()) {
        // 400 and 401 are the provider's refusal (RFC 6749 5.2); any other
        // status is a provider that is not working right now.
        const bool refused = status == 400 || status == 401 || status == 200;
        answer.outcome = refused ? Outcome::Refused : Outcome::Unreachable;
        const QString said = describeError(json.value(QStringLiteral("error")).toString(),
                                           json.value(QStringLiteral("error_description")).toString());
        answer.failure = refused ? QStringLiteral("%1 refused: %2").arg(who, said.isEmpty() ? QString::number(status) : said)
                                 : QStringLiteral("%1 could not be reached (HTTP status %2)").arg(who).arg(status);
        return answer;
    }
    answer.tokens.accessToken = json.value(QStringLiteral("access_token")).toString();
    if (answer.tokens.accessToken.isEmpty()) {
        answer.outcome = Outcome::Refused;
        answer.failure = QStringLiteral("%1 answered without an access token").arg(who);
        return answer;
    }
    const qint64 lifetime = json.value(QStringLiteral("expires_in")).toVariant().toLongLong();
    answer.tokens.expiresAt = Clock::currentDateTime().addSecs(lifetime > 0 ? lifetime : AssumedLifetimeSeconds);
    answer.tokens.refreshToken = json.value(QStringLiteral("refresh_token")).toString();
    answer.outcome = Outcome::Granted;
    return answer;
}
