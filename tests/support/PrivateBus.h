#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// A D-Bus message bus of the test's own (dbus-daemon), so tests of D-Bus
// clients neither need nor touch the machine's buses. It starts no service
// on demand: one started so would run with the user's own folders.
class PrivateBus
{
public:
    PrivateBus();
    ~PrivateBus();
    PrivateBus(const PrivateBus &) = delete;
    PrivateBus &operator=(const PrivateBus &) = delete;

    // Empty when the bus could not be started; error() says why.
    const QString &address() const { return m_address; }
    const QString &error() const { return m_error; }

private:
    QTemporaryDir m_folder;
    QProcess m_daemon;
    QString m_address;
    QString m_error;
};
