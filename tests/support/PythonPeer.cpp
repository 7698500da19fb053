#include "support/PythonPeer.h"

std::optional<QByteArray> startPythonPeer(QProcess &process, const QStringList &arguments, QString &error)
{
    process.start(QStringLiteral(CORVANE_PYTHON), arguments);
    if (!process.waitForStarted(10000)) {
        error = QStringLiteral("python3 did not start");
        return std::nullopt;
    }
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(15000)) {
            error = QString::fromUtf8(process.readAllStandardError());
            return std::nullopt;
        }
    }
    return process.readLine();
}
