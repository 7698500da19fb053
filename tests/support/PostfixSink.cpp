#include "support/PostfixSink.h"

#include "support/ScriptedSmtpServer.h"
#include "support/WaitFor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

PostfixSink::~PostfixSink()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

QString PostfixSink::binary()
{
    for (const char *path : {"/usr/sbin/smtp-sink", "/usr/lib/postfix/sbin/smtp-sink"})
        if (QFileInfo(QString::fromLatin1(path)).isExecutable())
            return QString::fromLatin1(path);
    return {};
}

bool PostfixSink::start(bool eightBitMime, bool pipelining)
{
    if (binary().isEmpty()) {
        m_error = QStringLiteral("smtp-sink is not installed (Debian package postfix)");
        return false;
    }
    m_port = ScriptedSmtpServer::unusedPort();
    QStringList arguments{QStringLiteral("-4")};
    if (m_keep)
        arguments << QStringLiteral("-d") << m_dumps.filePath(QStringLiteral("message."));
    if (!eightBitMime)
        arguments.append(QStringLiteral("-8"));
    if (!pipelining)
        arguments.append(QStringLiteral("-p"));
    // As root it must drop to a user, who must be able to write the dumps.
    if (::geteuid() == 0) {
        QFile::setPermissions(m_dumps.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                                                  | QFileDevice::ReadOther | QFileDevice::WriteOther
                                                  | QFileDevice::ExeOther);
        arguments << QStringLiteral("-u") << QStringLiteral("nobody");
    }
    arguments << QStringLiteral("127.0.0.1:%1").arg(m_port) << QStringLiteral("10");
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(binary(), arguments);
    if (!m_process.waitForStarted(10000) || !waitFor([&] { return ScriptedSmtpServer::listening(m_port) || m_process.state() == QProcess::NotRunning; }, 10000)
        || m_process.state() == QProcess::NotRunning) {
        m_error = QStringLiteral("smtp-sink did not come up: ") + QString::fromLocal8Bit(m_process.readAll());
        return false;
    }
    return true;
}

QList<PostfixSink::Received> PostfixSink::messages() const
{
    QList<Received> received;
    const QFileInfoList files = QDir(m_dumps.path()).entryInfoList(QDir::Files, QDir::Time | QDir::Reversed);
    for (const QFileInfo &info : files) {
        QFile file(info.filePath());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        QList<QByteArray> lines = file.readAll().split('\n');
        // smtp-sink's own lines come first, up to its three-line Received
        // header; after the message it adds an empty line.
        Received message;
        qsizetype at = 0;
        for (; at < lines.size() && !lines[at].startsWith("Received: "); ++at) {
            if (lines[at].startsWith("X-Mail-Args: "))
                message.mailArgs = QString::fromUtf8(lines[at].mid(13));
        }
        lines = lines.mid(at + 3);
        while (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        for (const QByteArray &line : std::as_const(lines))
            message.data += line + "\r\n";
        received.append(message);
    }
    return received;
}
