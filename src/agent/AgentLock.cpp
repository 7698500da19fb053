#include "agent/AgentLock.h"

#include <QCryptographicHash>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

namespace agent {

namespace {

const QByteArray ShowRequest = "show\n";
constexpr int AnswerMs = 3000;

}

TAgentLock::TAgentLock(const QString &dataFolder, QObject *parent)
    : QObject(parent), m_dataFolder(QDir(dataFolder).absolutePath()), m_lock(m_dataFolder + u'/' + LockName)
{
    // Only a holder whose process is gone leaves a stale lock: a running
    // agent keeps its lock however long it runs.
    m_lock.setStaleLockTime(0);
}

TAgentLock::~TAgentLock() = default;

bool TAgentLock::TryLock()
{
    if (!m_lock.tryLock(0))
        return false;
    listen();
    return true;
}

QString TAgentLock::serverName() const
{
    // One name per schedule, short enough for a socket path.
    const QByteArray key = QDir(m_dataFolder).canonicalPath().toUtf8();
    return QStringLiteral("ostrel98-")
           + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(16));
}

void TAgentLock::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a killed holder is ours now: the lock says so.
    QLocalServer::removeServer(serverName());
    if (!m_server->listen(serverName()))
        return;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *caller = m_server->nextPendingConnection()) {
            connect(caller, &QLocalSocket::disconnected, caller, &QObject::deleteLater);
            connect(caller, &QLocalSocket::readyRead, this, [this, caller] {
                if (caller->readAll().contains(ShowRequest.trimmed()))
                    emit showRequested();
                caller->write("shown\n");
                caller->flush();
            });
        }
    });
}

QString TAgentLock::AskHolderToShow()
{
    qint64 pid = 0;
    QString host;
    QString program;
    m_lock.getLockInfo(&pid, &host, &program);
    QLocalSocket holder;
    holder.connectToServer(serverName());
    bool shown = false;
    if (holder.waitForConnected(AnswerMs)) {
        holder.write(ShowRequest);
        shown = holder.waitForBytesWritten(AnswerMs) && holder.waitForReadyRead(AnswerMs)
                && holder.readAll().startsWith("shown");
    }
    const QString running = QStringLiteral("Ostrel98 already works off the schedule in \"%1\" (process %2).")
                                .arg(QDir::toNativeSeparators(m_dataFolder))
                                .arg(pid);
    return running + (shown ? QStringLiteral(" Its window is shown.")
                            : QStringLiteral(" Use its icon in the notification area."));
}

}
