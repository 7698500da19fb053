#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A throwaway certificate authority, made with the openssl command when a
// test needs it, and server certificates: signed by it, or self-signed and so
// trusted by no one. A test trusts the authority by pointing SSL_CERT_FILE
// at caFile() (TrustScope).
class TestCertificates
{
public:
    struct Server
    {
        QString certificateFile;
        QString keyFile;
    };

    TestCertificates();

    // Empty when everything could be made; otherwise what went wrong.
    const QString &error() const { return m_error; }
    QString caFile() const { return m_dir.filePath(QStringLiteral("ca.pem")); }

    // A certificate for the names given ("localhost", "127.0.0.1", ...).
    Server server(const QString &fileName, const QStringList &names, bool signedByCa = true);

    // Sets SSL_CERT_FILE for its lifetime, restoring what was there.
    class TrustScope
    {
    public:
        explicit TrustScope(const QString &caFile);
        ~TrustScope();
        TrustScope(const TrustScope &) = delete;
        TrustScope &operator=(const TrustScope &) = delete;

    private:
        QByteArray m_previous;
        bool m_wasSet;
    };

private:
    bool openssl(const QStringList &arguments);

    QTemporaryDir m_dir;
    QString m_error;
};
