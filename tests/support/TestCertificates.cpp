#include "support/TestCertificates.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace {

const QStringList EcKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                           QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

QString subjectAltNames(const QStringList &names)
{
    static const QRegularExpression address(QStringLiteral("^[0-9.]+$|:"));
    QStringList entries;
    for (const QString &name : names)
        entries.append((address.match(name).hasMatch() ? QStringLiteral("IP:") : QStringLiteral("DNS:")) + name);
    return QStringLiteral("subjectAltName=") + entries.join(QLatin1Char(','));
}

} // namespace

TestCertificates::TestCertificates()
{
    if (!m_dir.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return;
    }
    openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + EcKey
            + QStringList{QStringLiteral("-keyout"), m_dir.filePath(QStringLiteral("ca.key")), QStringLiteral("-out"),
                          caFile(), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"),
                          QStringLiteral("/CN=Corvane Test CA"), QStringLiteral("-addext"),
                          QStringLiteral("basicConstraints=critical,CA:TRUE"), QStringLiteral("-addext"),
                          QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

bool TestCertificates::openssl(const QStringList &arguments)
{
    if (!m_error.isEmpty())
        return false;
    QProcess process;
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = QStringLiteral("openssl %1: %2 %3")
                      .arg(arguments.join(QLatin1Char(' ')), process.errorString(),
                           QString::fromLocal8Bit(process.readAllStandardError()));
        return false;
    }
    return true;
}

TestCertificates::Server TestCertificates::server(const QString &fileName, const QStringList &names, bool signedByCa)
{
    const Server files{m_dir.filePath(fileName + QStringLiteral(".pem")),
                       m_dir.filePath(fileName + QStringLiteral(".key"))};
    const QString subject = QStringLiteral("/CN=") + names.value(0);
    if (!signedByCa) {
        openssl(QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + EcKey
                + QStringList{QStringLiteral("-keyout"), files.keyFile, QStringLiteral("-out"), files.certificateFile,
                              QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), subject,
                              QStringLiteral("-addext"), subjectAltNames(names)});
        return files;
    }
    const QString request = m_dir.filePath(fileName + QStringLiteral(".csr"));
    const QString extensions = m_dir.filePath(fileName + QStringLiteral(".ext"));
    QFile ext(extensions);
    if (!ext.open(QIODevice::WriteOnly) || ext.write((subjectAltNames(names) + QLatin1Char('\n')).toUtf8()) < 0) {
        m_error = QStringLiteral("cannot write ") + extensions;
        return files;
    }
    ext.close();
    openssl(QStringList{QStringLiteral("req")} + EcKey
            + QStringList{QStringLiteral("-keyout"), files.keyFile, QStringLiteral("-out"), request,
                          QStringLiteral("-subj"), subject});
    openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), request, QStringLiteral("-CA"),
             caFile(), QStringLiteral("-CAkey"), m_dir.filePath(QStringLiteral("ca.key")),
             QStringLiteral("-CAcreateserial"), QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-out"),
             files.certificateFile, QStringLiteral("-extfile"), extensions});
    return files;
}

TestCertificates::TrustScope::TrustScope(const QString &caFile)
    : m_previous(qgetenv("SSL_CERT_FILE")), m_wasSet(qEnvironmentVariableIsSet("SSL_CERT_FILE"))
{
    qputenv("SSL_CERT_FILE", caFile.toLocal8Bit());
}

TestCertificates::TrustScope::~TrustScope()
{
    if (m_wasSet)
        qputenv("SSL_CERT_FILE", m_previous);
    else
        qunsetenv("SSL_CERT_FILE");
}
