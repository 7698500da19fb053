#include "support/PrivateBus.h"
#include "platform/KeychainSecretStore.h"

#include "support/WaitFor.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The desktop's secret store as the programs reach it: QtKeychain over the
// Secret Service, here a gnome-keyring-daemon of the test's own on a bus of
// its own, with its keyring in a temporary folder. A program's session bus
// is chosen once, so one test covers the store's absence and then its
// presence on the same bus.

namespace {

class PrivateKeyring
{
public:
    PrivateKeyring(const QString &busAddress, const QString &folder)
    {
        const QString daemon = QStandardPaths::findExecutable("gnome-keyring-daemon");
        if (daemon.isEmpty()) {
            m_error = "gnome-keyring-daemon is not installed";
            return;
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME"})
            environment.insert(name, folder);
        environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        m_daemon.setProcessEnvironment(environment);
        m_daemon.start(daemon, {"--foreground", "--unlock", "--components=secrets"});
        // --unlock reads the keyring's password up to the end of its input.
        if (!m_daemon.waitForStarted(10000)) {
            m_error = "gnome-keyring-daemon did not start";
            return;
        }
        m_daemon.write("test keyring password");
        m_daemon.closeWriteChannel();
        const QString connection = "corvane-keyring-watch";
        {
            const QDBusConnection bus = QDBusConnection::connectToBus(busAddress, connection);
            if (!waitFor([&] {
                    return bus.interface()->isServiceRegistered("org.freedesktop.secrets").value()
                           || m_daemon.state() == QProcess::NotRunning;
                }, 15000)
                || m_daemon.state() == QProcess::NotRunning)
                m_error = "gnome-keyring-daemon does not serve the bus: "
                          + QString::fromUtf8(m_daemon.readAllStandardError());
        }
        QDBusConnection::disconnectFromBus(connection);
    }

    ~PrivateKeyring()
    {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
            m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    const QString &error() const { return m_error; }

private:
    QProcess m_daemon;
    QString m_error;
};

TEST(KeychainSecretStore, AnswersUnavailableWithoutAStoreAndKeepsSecretsInOne)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    PrivateBus bus;
    ASSERT_TRUE(bus.error().isEmpty()) << bus.error().toStdString();
    qputenv("DBUS_SESSION_BUS_ADDRESS", bus.address().toUtf8());
    KeychainSecretStore store;

    const SecretStore::Answer none = store.read("smtp:ann@mail.example.org");
    EXPECT_EQ(none.status, SecretStore::Status::Unavailable);
    EXPECT_FALSE(none.error.isEmpty()) << "a user is told why";
    const SecretStore::Answer unwritten = store.write("smtp:ann@mail.example.org", "pa55");
    EXPECT_EQ(unwritten.status, SecretStore::Status::Unavailable);

    PrivateKeyring keyring(bus.address(), folder.path());
    ASSERT_TRUE(keyring.error().isEmpty()) << keyring.error().toStdString();
    const SecretStore::Answer written = store.write("smtp:ann@mail.example.org", "pa55 wörd");
    ASSERT_EQ(written.status, SecretStore::Status::Ok) << written.error.toStdString();
    const SecretStore::Answer read = store.read("smtp:ann@mail.example.org");
    EXPECT_EQ(read.status, SecretStore::Status::Ok) << read.error.toStdString();
    EXPECT_EQ(read.secret, "pa55 wörd");
    EXPECT_EQ(store.read("smtp:bob@mail.example.org").status, SecretStore::Status::NotFound);
    EXPECT_EQ(store.write("smtp:ann@mail.example.org", "changed").status, SecretStore::Status::Ok);
    EXPECT_EQ(store.read("smtp:ann@mail.example.org").secret, "changed");
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
}

}
