#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

class QLocalServer;

namespace agent {

// Exactly one agent works off one schedule. The agent holds a lock file in
// the folder of the schedule's files while it runs; a lock left by an agent
// that was killed is stale (its process is gone) and is taken over. The
// holder listens for a later start on the same files, which asks it to show
// its window and ends.
class TAgentLock : public QObject
{
    Q_OBJECT
public:
    static inline const QString LockName = QStringLiteral("ostrel98.lock");

    explicit TAgentLock(const QString &dataFolder, QObject *parent = nullptr);
    ~TAgentLock() override;

    // True when this agent now holds the lock and hears later starts.
    bool TryLock();
    // For a later start: asks the agent that holds the lock to show its
    // window, and returns what to tell the user.
    QString AskHolderToShow();

signals:
    // A later start on the same files asked for the window.
    void showRequested();

private:
    QString serverName() const;
    void listen();

    QString m_dataFolder;
    QLockFile m_lock;
    QLocalServer *m_server = nullptr;
};

}
