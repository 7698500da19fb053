#include "platform/FileLocations.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

namespace {

QProcessEnvironment environment(const QStringList &variables)
{
    QProcessEnvironment env;
    for (const QString &variable : variables)
        env.insert(variable.section(u'=', 0, 0), variable.section(u'=', 1));
    return env;
}

// The build's dist/ folder and copies of it: everything beside the programs.
TEST(FileLocations, ProgramFolderKeepsTheFilesBesideThePrograms)
{
    TempProgramFolder folder;
    const QProcessEnvironment env = environment({"HOME=/home/anna", "XDG_DATA_HOME=/home/anna/.data"});
    const FileLocations mailer = FileLocations::forMailer(folder.path(), env);
    const FileLocations agent = FileLocations::forAgent(folder.file("agent/"), env);
    for (const FileLocations &view : {mailer, agent}) {
        EXPECT_FALSE(view.installed());
        EXPECT_EQ(view.programFolder(), folder.path());
        EXPECT_EQ(view.filesFolder(), folder.path());
        EXPECT_EQ(view.agentFilesFolder(), folder.file("agent/"));
    }
    // The agent reaches the mailer's files one level up, whatever its own
    // folder is called, and keeps its result log in that folder.
    const FileLocations renamed = FileLocations::forAgent(folder.path() + "scheduler", env);
    EXPECT_EQ(renamed.filesFolder(), folder.path());
    EXPECT_EQ(renamed.agentFilesFolder(), folder.file("scheduler/"));
    // Nothing to make: the folders are the program's own.
    QString error;
    EXPECT_TRUE(mailer.createFolders(&error));
    EXPECT_FALSE(QFileInfo::exists(folder.file("agent")));
}

TEST(FileLocations, InstalledCopyKeepsTheFilesInTheUsersDataFolder)
{
    TempProgramFolder folder;
    folder.writeFile(FileLocations::InstalledMarker, "installed\n");
    // A program folder root can write to is an installed copy all the same:
    // where the files go depends on the marker and the environment, never on
    // the user, so root gets its own data folder as anyone else.
    ASSERT_TRUE(QFileInfo(folder.path()).isWritable());
    struct Case
    {
        QStringList env;
        QString files;
    } cases[] = {
        {{"HOME=/home/anna", "XDG_DATA_HOME=/srv/anna/data/"}, "/srv/anna/data/corvane/"},
        {{"HOME=/home/anna"}, "/home/anna/.local/share/corvane/"},
        {{"HOME=/home/anna/", "XDG_DATA_HOME="}, "/home/anna/.local/share/corvane/"},
        // A relative XDG_DATA_HOME is no data folder.
        {{"HOME=/home/anna", "XDG_DATA_HOME=.data"}, "/home/anna/.local/share/corvane/"},
        {{"HOME=/root"}, "/root/.local/share/corvane/"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.env.join(' ').toStdString());
        const FileLocations mailer = FileLocations::forMailer(folder.path(), environment(c.env));
        const FileLocations agent = FileLocations::forAgent(folder.file("agent/"), environment(c.env));
        for (const FileLocations &view : {mailer, agent}) {
            EXPECT_TRUE(view.installed());
            // The upgrade scripts are still read where they were installed.
            EXPECT_EQ(view.programFolder(), folder.path());
            EXPECT_EQ(view.filesFolder(), c.files);
            EXPECT_EQ(view.agentFilesFolder(), c.files + "agent/");
        }
    }
}

TEST(FileLocations, WithoutHomeTheAccountsHomeIsUsed)
{
    TempProgramFolder folder;
    folder.writeFile(FileLocations::InstalledMarker, "installed\n");
    const passwd *account = getpwuid(getuid());
    ASSERT_NE(account, nullptr);
    const FileLocations view = FileLocations::forMailer(folder.path(), QProcessEnvironment());
    EXPECT_EQ(view.filesFolder(), QDir::cleanPath(QFile::decodeName(account->pw_dir) + "/.local/share/corvane") + "/");
}

TEST(FileLocations, InstalledCopyMakesPrivateFoldersForTheUser)
{
    TempProgramFolder folder;
    folder.writeFile(FileLocations::InstalledMarker, "installed\n");
    QTemporaryDir home;
    const FileLocations view = FileLocations::forAgent(folder.file("agent/"), environment({"HOME=" + home.path()}));
    QString error;
    ASSERT_TRUE(view.createFolders(&error)) << error.toStdString();
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    for (const QString &made : {view.filesFolder(), view.agentFilesFolder()}) {
        EXPECT_TRUE(QFileInfo(made).isDir()) << made.toStdString();
        EXPECT_EQ(QFile::permissions(made) & ~(QFile::ReadUser | QFile::WriteUser | QFile::ExeUser), ownerOnly)
            << made.toStdString();
    }
    // A second start finds them and changes nothing.
    EXPECT_TRUE(view.createFolders(&error));

    // A data folder that cannot be made is reported by name.
    QTemporaryDir blocked;
    QFile file(blocked.filePath("share"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const FileLocations nowhere = FileLocations::forMailer(folder.path(), environment({"XDG_DATA_HOME=" + blocked.filePath("share")}));
    EXPECT_FALSE(nowhere.createFolders(&error));
    EXPECT_EQ(error, "Cannot create folder \"" + blocked.filePath("share/corvane") + "\"");
}

}
