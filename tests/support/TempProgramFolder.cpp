#include "support/TempProgramFolder.h"

#include "store/DM_Databaser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

TempProgramFolder::TempProgramFolder()
{
    EXPECT_TRUE(m_dir.isValid());
    for (int version = 1; version <= TDM_Databaser::RequiredVersion; ++version) {
        const QString script = TDM_Databaser::ScriptName(version);
        EXPECT_TRUE(QFile::copy(QStringLiteral(CORVANE_RESOURCES_DIR "/") + script, file(script))) << version;
    }
}

QString TempProgramFolder::path() const
{
    return m_dir.path() + u'/';
}

void TempProgramFolder::writeFile(const QString &name, const QByteArray &content) const
{
    const QString full = file(name);
    QDir().mkpath(QFileInfo(full).path());
    QFile f(full);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
}

QByteArray TempProgramFolder::readFile(const QString &name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
