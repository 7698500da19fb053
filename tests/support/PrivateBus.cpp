#include "support/PrivateBus.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QStandardPaths>

PrivateBus::PrivateBus()
{
    const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (daemon.isEmpty()) {
        m_error = QStringLiteral("dbus-daemon is not installed");
        return;
    }
    // The session bus's rules without its service folders.
    const QString config = m_folder.filePath(QStringLiteral("bus.conf"));
    QFile file(config);
    if (!m_folder.isValid() || !file.open(QIODevice::WriteOnly)
        || file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                     " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                     "<busconfig><type>session</type><listen>unix:dir=%1</listen>"
                                     "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" "
                                     "eavesdrop=\"true\"/><allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                                     "</busconfig>\n")
                          .arg(m_folder.path())
                          .toUtf8())
               < 0) {
        m_error = QStringLiteral("cannot write the bus's configuration");
        return;
    }
    file.close();
    m_daemon.start(daemon, {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                            QStringLiteral("--print-address")});
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
