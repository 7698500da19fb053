#include "support/TestOAuthProvider.h"

#include "support/PythonPeer.h"

#include "send/OAuthProvider.h"

#include <QDesktopServices>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QUrlQuery>

TestOAuthProvider::TestOAuthProvider() = default;

TestOAuthProvider::~TestOAuthProvider()
{
    m_process.kill();
    m_process.waitForFinished(5000);
}

bool TestOAuthProvider::start(const Options &options)
{
    m_options = options;
    QJsonObject config{{"client_id", options.clientId},
                       {"scope", options.scope},
                       {"lifetime", options.lifetimeSeconds},
                       {"certificate", options.certificateFile},
                       {"key", options.keyFile},
                       {"implicit", options.implicit},
                       {"user", options.user},
                       {"rotate", options.rotate},
                       {"mechanisms", QJsonArray::fromStringList(options.mechanisms)}};
    if (!options.clientSecret.isEmpty())
        config.insert("client_secret", options.clientSecret);
    const std::optional<QByteArray> ready = startPythonPeer(
        m_process,
        {QStringLiteral(CORVANE_OAUTH_PROVIDER_SCRIPT), QString::fromUtf8(QJsonDocument(config).toJson(QJsonDocument::Compact))},
        m_error);
    if (!ready)
        return false;
    const QJsonObject ports = QJsonDocument::fromJson(*ready).object();
    m_httpPort = static_cast<quint16>(ports.value("http").toInt());
    m_smtpPort = static_cast<quint16>(ports.value("smtp").toInt());
    return m_httpPort != 0 && m_smtpPort != 0;
}

QString TestOAuthProvider::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_httpPort);
}

TOAuthProvider TestOAuthProvider::provider() const
{
    TOAuthProvider provider = TOAuthProvider::Preset(TOAuthProvider::Kind::Custom);
    provider.authorizationEndpoint = base() + "/authorize";
    provider.tokenEndpoint = base() + "/token";
    provider.scope = m_options.scope;
    provider.clientId = m_options.clientId;
    return provider;
}

QJsonObject TestOAuthProvider::control(const QString &action)
{
    QNetworkAccessManager network;
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(base() + "/control?action=" + action)));
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    reply->deleteLater();
    return QJsonDocument::fromJson(reply->readAll()).object();
}

QList<RealSmtpServer::Received> TestOAuthProvider::messages()
{
    m_pending += m_process.readAllStandardOutput();
    RealSmtpServer::takeMessages(m_pending, m_messages);
    return m_messages;
}

TestBrowser::TestBrowser() : m_network(new QNetworkAccessManager(this))
{
    QDesktopServices::setUrlHandler(QStringLiteral("http"), this, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open");
}

TestBrowser::~TestBrowser()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
}

bool TestBrowser::open(const QUrl &url)
{
    opened.append(url);
    if (behaviour != Behaviour::Close)
        get(url, false);
    return true;
}

void TestBrowser::get(const QUrl &url, bool redirectFollows)
{
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    QNetworkReply *reply = m_network->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply, redirectFollows] {
        reply->deleteLater();
        lastStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        lastPage = reply->readAll();
        if (redirectFollows)
            return;
        QUrl next = reply->header(QNetworkRequest::LocationHeader).toUrl();
        if (next.isEmpty())
            return;
        QUrlQuery query(next);
        if (behaviour == Behaviour::WrongState) {
            const QString state = query.queryItemValue("state");
            query.removeAllQueryItems("state");
            query.addQueryItem("state", state + "x");
        } else if (behaviour == Behaviour::DropCode) {
            query.removeAllQueryItems("code");
        }
        next.setQuery(query);
        get(next, true);
    });
}
