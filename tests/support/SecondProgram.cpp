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
