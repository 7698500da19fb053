#include "support/PrivatePostfix.h"

#include "support/ScriptedSmtpServer.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace {

const char *const PostfixCommand = "/usr/sbin/postfix";
const char *const DaemonFolder = "/usr/lib/postfix/sbin";

// The services a mail system needs to take mail over SMTP and deliver it
// into a mailbox, none of them in a chroot (the folders are not laid out
// for one); %1 is the SMTP listener.
const char *const MasterCf = R"CF(%1 inet n - n - - smtpd
pickup    unix  n - n 60 1 pickup
cleanup   unix  n - n -  0 cleanup
qmgr      unix  n - n 300 1 qmgr
rewrite   unix  - - n -  - trivial-rewrite
bounce    unix  - - n -  0 bounce
defer     unix  - - n -  0 bounce
trace     unix  - - n -  0 bounce
verify    unix  - - n -  1 verify
flush     unix  n - n 1000? 0 flush
proxymap  unix  - - n -  - proxymap
error     unix  - - n -  - error
retry     unix  - - n -  - error
discard   unix  - - n -  - discard
anvil     unix  - - n -  1 anvil
scache    unix  - - n -  1 scache
virtual   unix  - n n -  - virtual
postlog   unix-dgram n - n - 1 postlogd
)CF";

// Nothing leaves the machine: example.test is delivered by the virtual
// delivery agent into the Maildir "inbox/" as the user nobody, and a
// recipient anywhere else is refused at RCPT. %1 is the root folder.
const char *const MainCf = R"CF(compatibility_level = 3.6
queue_directory = %1/queue
data_directory = %1/data
command_directory = /usr/sbin
daemon_directory = /usr/lib/postfix/sbin
shlib_directory = /usr/lib/postfix
meta_directory = /etc/postfix
mail_owner = postfix
setgid_group = postdrop
maillog_file_prefixes = %1
maillog_file = %1/maillog
myhostname = relay.corvane.test
mydomain = corvane.test
mydestination =
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
mynetworks = 127.0.0.0/8
# A relay takes mail for its own domains only, from anyone who has not
# logged in: this machine's own address is not let through either.
smtpd_relay_restrictions = permit_sasl_authenticated, reject_unauth_destination
alias_maps =
alias_database =
local_transport = error:no local delivery here
default_transport = error:no delivery beyond this machine
relay_transport = error:no delivery beyond this machine
virtual_mailbox_domains = example.test
virtual_mailbox_base = %1/mail
virtual_mailbox_maps = static:inbox/
virtual_uid_maps = static:%2
virtual_gid_maps = static:%3
biff = no
)CF";

// Written whole or not at all.
bool writeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

bool chownTo(const QString &path, const char *user)
{
    const passwd *entry = ::getpwnam(user);
    return entry && ::chown(QFile::encodeName(path).constData(), entry->pw_uid, entry->pw_gid) == 0;
}

} // namespace

PrivatePostfix::~PrivatePostfix()
{
    if (m_started && postfix(QStringLiteral("stop")) != 0)
        postfix(QStringLiteral("abort"));
}

QString PrivatePostfix::unavailable()
{
    if (::geteuid() != 0)
        return QStringLiteral("a Postfix mail system of its own needs root");
    if (!QFileInfo(QString::fromLatin1(PostfixCommand)).isExecutable()
        || !QFileInfo(QString::fromLatin1(DaemonFolder) + QStringLiteral("/master")).isExecutable())
        return QStringLiteral("Postfix is not installed (Debian package postfix)");
    if (!::getpwnam("postfix") || !::getpwnam("nobody") || !::getgrnam("postdrop"))
        return QStringLiteral("the users postfix and nobody or the group postdrop are missing");
    return {};
}

int PrivatePostfix::postfix(const QString &command)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(QString::fromLatin1(PostfixCommand), {QStringLiteral("-c"), m_root.filePath("conf"), command});
    if (!process.waitForFinished(60000))
        return -1;
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

bool PrivatePostfix::writeConfiguration()
{
    const QString root = m_root.path();
    QDir dir(root);
    // The daemons run as postfix and nobody and must reach their folders.
    QFile::setPermissions(root, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                    | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                    | QFileDevice::ExeOther);
    if (!dir.mkpath("conf") || !dir.mkpath("queue") || !dir.mkpath("data") || !dir.mkpath("mail")
        || !chownTo(dir.filePath("data"), "postfix") || !chownTo(dir.filePath("mail"), "nobody")) {
        m_error = QStringLiteral("could not lay out the folders in ") + root;
        return false;
    }
    const passwd *nobody = ::getpwnam("nobody");
    const QString listener = QStringLiteral("127.0.0.1:%1").arg(m_port);
    const QString main = QString::fromLatin1(MainCf).arg(root).arg(nobody->pw_uid).arg(nobody->pw_gid);
    if (!writeFile(dir.filePath("conf/main.cf"), main.toUtf8())
        || !writeFile(dir.filePath("conf/master.cf"), QString::fromLatin1(MasterCf).arg(listener).toUtf8())) {
        m_error = QStringLiteral("could not write the configuration");
        return false;
    }
    return true;
}

bool PrivatePostfix::start()
{
    m_error = unavailable();
    if (!m_error.isEmpty())
        return false;
    if (!m_root.isValid()) {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    m_port = ScriptedSmtpServer::unusedPort();
    if (!writeConfiguration())
        return false;
    const int code = postfix(QStringLiteral("start"));
    m_started = code == 0;
    if (!m_started) {
        m_error = QStringLiteral("postfix start ended with %1: %2").arg(code).arg(log());
        return false;
    }
    if (!waitFor([&] { return ScriptedSmtpServer::listening(m_port); }, 20000)) {
        m_error = QStringLiteral("Postfix did not listen on port %1: %2").arg(m_port).arg(log());
        return false;
    }
    return true;
}

QList<QByteArray> PrivatePostfix::delivered() const
{
    QList<QByteArray> messages;
    const QDir box(m_root.filePath("mail/inbox/new"));
    for (const QFileInfo &info : box.entryInfoList(QDir::Files, QDir::Name)) {
        QFile file(info.filePath());
        if (file.open(QIODevice::ReadOnly))
            messages.append(file.readAll());
    }
    return messages;
}

QString PrivatePostfix::log() const
{
    QFile file(m_root.filePath("maillog"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QStringLiteral("(no log)");
}
