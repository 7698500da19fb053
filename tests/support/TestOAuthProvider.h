#pragma once

#include "support/RealSmtpServer.h"

#include <QJsonObject>
#include <QProcess>

struct TOAuthProvider;

// The sign-in tests' provider (oauth_provider.py): an authorization server
// on Python's http.server and an aiosmtpd server over TLS that takes only
// the access tokens it handed out, while they last. Both on 127.0.0.1 at ports
// of the system's choice.
class TestOAuthProvider
{
public:
    struct Options
    {
        QString certificateFile;
        QString keyFile;
        bool implicit = false;
        QString user = QStringLiteral("ann@example.org");
        QString clientId = QStringLiteral("corvane-test");
        // Required of every token request when not empty.
        QString clientSecret;
        QString scope = QStringLiteral("https://mail.example.org/smtp offline_access");
        int lifetimeSeconds = 3600;
        // Each refresh spends its refresh token and hands out the next.
        bool rotate = false;
        // The SASL mechanisms the SMTP server offers.
        QStringList mechanisms = {QStringLiteral("XOAUTH2"), QStringLiteral("OAUTHBEARER")};
    };

    TestOAuthProvider();
    ~TestOAuthProvider();

    // False, with error() telling why, when the servers did not come up.
    bool start(const Options &options);
    QString error() const { return m_error; }
    quint16 smtpPort() const { return m_smtpPort; }
    QString base() const;
    // A custom provider at this server, with the client ID and scope it wants.
    TOAuthProvider provider() const;

    // "expire", "revoke", "deny", "refuse_code", "reset" or "stats"; the counts after it
    // (authorizations, code_grants, refresh_grants, refused_grants, logins,
    // refused_logins, secret_seen).
    QJsonObject control(const QString &action);
    int count(const char *name) { return control(QStringLiteral("stats")).value(QLatin1String(name)).toInt(); }

    QList<RealSmtpServer::Received> messages();

private:
    Options m_options;
    QProcess m_process;
    quint16 m_httpPort = 0;
    quint16 m_smtpPort = 0;
    QString m_error;
    QByteArray m_pending;
    QList<RealSmtpServer::Received> m_messages;
};

// Plays the system browser for QDesktopServices while it exists: it opens
// the authorization page and, as the user would, lets the provider's
// redirect reach the loopback, or spoils it, or closes the window.
class TestBrowser : public QObject
{
    Q_OBJECT
public:
    enum class Behaviour { Follow, WrongState, DropCode, Close };

    TestBrowser();
    ~TestBrowser() override;

    Behaviour behaviour = Behaviour::Follow;
    // Every address opened, and the provider's answer to the last one.
    QList<QUrl> opened;
    int lastStatus = 0;
    QByteArray lastPage;

public slots:
    bool open(const QUrl &url);

private:
    void get(const QUrl &url, bool redirectFollows);
    class QNetworkAccessManager *m_network;
};
