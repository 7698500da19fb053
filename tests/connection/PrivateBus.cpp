#include "connection/PrivateBus.h"

#include <QDeadlineTimer>
#include <QStandardPaths>

PrivateBus::PrivateBus()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon is not installed");
        return;
    }
    m_daemon.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address")});
    QDeadlineTimer deadline(10000);
    while (!m_daemon.canReadLine() && m_daemon.state() != QProcess::NotRunning && !deadline.hasExpired())
        m_daemon.waitForReadyRead(int(deadline.remainingTime()));
    m_address = QString::fromUtf8(m_daemon.readLine()).trimmed();
    if (m_address.isEmpty())
        m_error = QStringLiteral("dbus-daemon gave no address: ") + QString::fromUtf8(m_daemon.readAllStandardError());
}

PrivateBus::~PrivateBus()
{
    if (m_daemon.state() == QProcess::NotRunning)
        return;
    m_daemon.terminate();
    if (!m_daemon.waitForFinished(5000))
        m_daemon.kill();
    m_daemon.waitForFinished(5000);
}
