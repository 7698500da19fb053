#include "support/SecondProgram.h"

#include "support/TempProgramFolder.h"

#include <QProcess>
#include <gtest/gtest.h>

bool runSecondProgram(const TempProgramFolder &folder, const QString &sql)
{
    QProcess process;
    process.start(QStringLiteral(CORVANE_STORE_WRITER), {folder.file("DATA"), sql});
    if (!process.waitForFinished(30000)) {
        ADD_FAILURE() << "the second program did not end: " << process.errorString().toStdString();
        process.kill();
        process.waitForFinished();
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        ADD_FAILURE() << "the second program failed: " << process.readAllStandardError().toStdString();
        return false;
    }
    return true;
}

long killSecondProgramAfter(const TempProgramFolder &folder, const QString &sql, long commits)
{
    QProcess process;
    process.start(QStringLiteral(CORVANE_STORE_WRITER), {folder.file("DATA"), sql, QStringLiteral("--until-killed")});
    long reported = -1;
    while (reported < commits && process.waitForReadyRead(30000)) {
        while (process.canReadLine())
            reported = process.readLine().trimmed().toLong();
    }
    process.kill();
    process.waitForFinished();
    if (reported < commits) {
        ADD_FAILURE() << "the second program stopped before it was killed: "
                      << process.readAllStandardError().toStdString();
        return -1;
    }
    return reported;
}
