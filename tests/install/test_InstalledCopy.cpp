#include "platform/ProfileIni.h"
#include "store/DM_Databaser.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QDateTime>
#include <gtest/gtest.h>
#include <sqlite3.h>

// The copy that "cmake --install" lays out, as the Debian package does under
// /usr, installed once into a temporary DESTDIR for all tests here; and the
// programs started from it as a user starts them.
namespace {

const QString UpdatePrompt = "Confirm: The Database will be updated to a new version!";
const QString UpdateDone = "Information: Update successfull - Restart the program!";
const QStringList IconSizes = {"16", "22", "24", "32", "48", "64", "128", "256"};

// The store's upgrade scripts, one per version.
QStringList storeScripts()
{
    QStringList scripts;
    for (int version = 1; version <= TDM_Databaser::RequiredVersion; ++version)
        scripts.append(TDM_Databaser::ScriptName(version));
    return scripts;
}

struct Finished
{
    int exitCode = -1;
    QString output; // standard output and error
};

Finished runProgram(const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    Finished result;
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
        result.output = "did not finish: " + program;
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromLocal8Bit(process.readAll());
    return result;
}

// Every file, link and folder below root, by path relative to it, a folder with a trailing '/'.
QStringList tree(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo info(it.next());
        const QString relative = QDir(root).relativeFilePath(info.filePath());
        entries << (info.isDir() && !info.isSymLink() ? relative + u'/' : relative);
    }
    entries.sort();
    return entries;
}

// The keys of a desktop entry's [Desktop Entry] group.
QMap<QString, QString> desktopEntry(const QString &file)
{
    QFile f(file);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly | QIODevice::Text)) << file.toStdString();
    QMap<QString, QString> keys;
    bool inGroup = false;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        if (line.startsWith(u'['))
            inGroup = line == "[Desktop Entry]";
        else if (inGroup && line.contains(u'='))
            keys.insert(line.section(u'=', 0, 0), line.section(u'=', 1));
    }
    return keys;
}

class InstalledCopy : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_destDir = new QTemporaryDir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DESTDIR", s_destDir->path());
        s_install = new Finished(runProgram(CORVANE_CMAKE_COMMAND, {"--install", CORVANE_BUILD_DIR, "--prefix", "/usr"}, env));
    }

    static void TearDownTestSuite()
    {
        delete s_install;
        delete s_destDir;
    }

    void SetUp() override
    {
        ASSERT_EQ(s_install->exitCode, 0) << s_install->output.toStdString();
    }

    static QString usr(const QString &path) { return s_destDir->path() + "/usr/" + path; }

    // A user's session: a home of its own, no display, message boxes answered.
    static QProcessEnvironment session(const QString &home, const QString &dataHome = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.remove("XDG_DATA_HOME");
        if (!dataHome.isEmpty())
            env.insert("XDG_DATA_HOME", dataHome);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("LD_PRELOAD", CORVANE_ANSWER_BOXES_PRELOAD);
        return env;
    }

    // A first start shows the upgrade question, then the notice, and ends.
    static void expectFirstStart(const Finished &start)
    {
        EXPECT_EQ(start.exitCode, 0) << start.output.toStdString();
        const qsizetype question = start.output.indexOf(UpdatePrompt);
        EXPECT_GE(question, 0) << start.output.toStdString();
        EXPECT_GT(start.output.indexOf(UpdateDone), question) << start.output.toStdString();
    }

    static void expectStore(const QString &filesFolder)
    {
        EXPECT_TRUE(QFileInfo(filesFolder + "DATA/corvane.db").isFile()) << filesFolder.toStdString();
        EXPECT_EQ(ProfileIni(filesFolder + "CORVAN.INI").readInteger("DATABAS", "VERSION", -1),
                  TDM_Databaser::RequiredVersion);
    }

    static QTemporaryDir *s_destDir;
    static Finished *s_install;
};

QTemporaryDir *InstalledCopy::s_destDir = nullptr;
Finished *InstalledCopy::s_install = nullptr;

TEST_F(InstalledCopy, LaysOutTheProgramFolderLaunchersEntriesAndIcons)
{
    QStringList expected = {
        "bin/", "bin/corvane", "bin/ostrel98",
        "lib/", "lib/corvane/", "lib/corvane/INSTALLED", "lib/corvane/agent/",
        "lib/corvane/agent/ostrel98", "lib/corvane/corvane",
        "share/", "share/applications/", "share/applications/corvane.desktop", "share/applications/ostrel98.desktop",
        "share/icons/", "share/icons/hicolor/"};
    for (const QString &size : IconSizes) {
        const QString folder = QStringLiteral("share/icons/hicolor/%1x%1/").arg(size);
        expected << folder << folder + "apps/" << folder + "apps/corvane.png";
    }
    for (const QString &script : storeScripts())
        expected << "lib/corvane/" + script;
    expected.sort();
    EXPECT_EQ(tree(usr("")), expected);

    // The launchers lead to the programs in the program folder, by a link
    // that holds under any root.
    EXPECT_EQ(QFile::symLinkTarget(usr("bin/corvane")), usr("lib/corvane/corvane"));
    EXPECT_EQ(QFile::symLinkTarget(usr("bin/ostrel98")), usr("lib/corvane/agent/ostrel98"));
    EXPECT_TRUE(QFileInfo(usr("bin/corvane")).isExecutable());
    EXPECT_TRUE(QFileInfo(usr("bin/ostrel98")).isExecutable());

    for (const QString &script : storeScripts()) {
        QFile shipped(CORVANE_RESOURCES_DIR "/" + script);
        QFile installed(usr("lib/corvane/" + script));
        ASSERT_TRUE(shipped.open(QIODevice::ReadOnly) && installed.open(QIODevice::ReadOnly)) << script.toStdString();
        EXPECT_EQ(installed.readAll(), shipped.readAll()) << script.toStdString();
    }
}

TEST_F(InstalledCopy, DesktopEntriesAreValidAndLeadToTheLaunchersAndIcons)
{
    const struct
    {
        QString file;
        QString name;
        QString exec;
    } entries[] = {{"corvane.desktop", "Corvane 98", "corvane"}, {"ostrel98.desktop", "Ostrel98", "ostrel98"}};
    for (const auto &entry : entries) {
        SCOPED_TRACE(entry.file.toStdString());
        const QString file = usr("share/applications/" + entry.file);
        const Finished validate = runProgram("desktop-file-validate", {file}, QProcessEnvironment::systemEnvironment());
        EXPECT_EQ(validate.exitCode, 0) << validate.output.toStdString();
        EXPECT_EQ(validate.output, "");

        const QMap<QString, QString> keys = desktopEntry(file);
        EXPECT_EQ(keys.value("Type"), "Application");
        EXPECT_EQ(keys.value("Name"), entry.name);
        EXPECT_EQ(keys.value("Categories"), "Network;Email;");
        EXPECT_EQ(keys.value("Exec"), entry.exec);
        EXPECT_EQ(keys.value("Terminal"), "false");
        EXPECT_TRUE(QFileInfo(usr("bin/" + keys.value("Exec"))).isExecutable());
        for (const QString &size : IconSizes) {
            const QImage icon(usr(QStringLiteral("share/icons/hicolor/%1x%1/apps/%2.png").arg(size, keys.value("Icon"))));
            EXPECT_EQ(icon.size(), QSize(size.toInt(), size.toInt())) << size.toStdString();
        }
    }
}

// The program folder under /usr can be written by root, and by the user who
// runs this test in DESTDIR: a rule that went by that would fail here.
TEST_F(InstalledCopy, FirstStartMakesTheStoreInTheUsersDataFolder)
{
    ASSERT_TRUE(QFileInfo(usr("lib/corvane/")).isWritable());
    const QStringList programFolder = tree(usr("lib/corvane"));
    QTemporaryDir home;
    expectFirstStart(runProgram(usr("bin/corvane"), {}, session(home.path())));
    const QString files = home.path() + "/.local/share/corvane/";
    expectStore(files);
    // Private to the user, with the agent's folder beside the mailer's files.
    EXPECT_EQ(QFile::permissions(files) & (QFile::ReadGroup | QFile::ReadOther | QFile::ExeOther), QFile::Permissions());
    EXPECT_TRUE(QFileInfo(files + "agent").isDir());
    EXPECT_EQ(tree(usr("lib/corvane")), programFolder);

    // XDG_DATA_HOME, where set, is the data folder.
    QTemporaryDir other;
    expectFirstStart(runProgram(usr("bin/corvane"), {}, session(other.path() + "/home", other.path() + "/data")));
    expectStore(other.path() + "/data/corvane/");
    EXPECT_FALSE(QFileInfo::exists(other.path() + "/home"));
}

TEST_F(InstalledCopy, AgentStartsFromItsLauncher)
{
    QTemporaryDir home;
    const Finished agent = runProgram(usr("bin/ostrel98"), {}, session(home.path()));
    // It looks for the mailer's store in the user's data folder; before the
    // mailer's first start there is none, which it says before it ends.
    EXPECT_EQ(agent.exitCode, 1);
    const QString noStore = "There is no Database in \"" + home.path()
                            + "/.local/share/corvane/DATA\": start Corvane 98 once to create it.";
    EXPECT_TRUE(agent.output.contains(noStore)) << agent.output.toStdString();

    // Once the mailer made the store, the agent works off the user's
    // schedule and keeps its log in the user's folder, not in /usr.
    expectFirstStart(runProgram(usr("bin/corvane"), {}, session(home.path())));
    const QString files = home.path() + "/.local/share/corvane/";
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open((files + "DATA/corvane.db").toUtf8().constData(), &db), SQLITE_OK);
    const QByteArray insert = "INSERT INTO Agent (\"Group\", MsgFile, \"Date\", \"Time\") VALUES ('Club', '"
                              + (files + "MSG/gone.MSG").toUtf8() + "', '"
                              + QDate::currentDate().addDays(-1).toString(Qt::ISODate).toUtf8() + "', '09:00:00')";
    EXPECT_EQ(sqlite3_exec(db, insert.constData(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
    const QStringList programFolder = tree(usr("lib/corvane"));

    QProcess running;
    running.setProcessEnvironment(session(home.path()));
    running.setProcessChannelMode(QProcess::MergedChannels);
    running.start(usr("bin/ostrel98"), {});
    // Its first look at the schedule comes after five seconds; the boxes are
    // answered with their defaults.
    QByteArray output;
    const QByteArray unloadable = "Couldn't load messagefile, the group will be deleted from Scheduler";
    while (!output.contains(unloadable) && running.waitForReadyRead(20000))
        output += running.readAll();
    EXPECT_TRUE(output.contains("Start sending group: Club, Continue?")) << output.toStdString();
    EXPECT_TRUE(output.contains(unloadable)) << output.toStdString();
    running.terminate();
    ASSERT_TRUE(running.waitForFinished(10000));
    EXPECT_EQ(running.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(running.exitCode(), 0);
    EXPECT_TRUE(QFileInfo::exists(files + "agent/AGENT.RSU"));
    EXPECT_EQ(tree(usr("lib/corvane")), programFolder);
}

// "cpack -G DEB": the package holds the installed copy as laid out above and
// names the libraries the programs load, Qt's platform plugins among them.
TEST_F(InstalledCopy, DebianPackageHoldsTheInstalledCopyAndItsDependencies)
{
    QTemporaryDir out;
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const Finished pack = runProgram(
        CORVANE_CPACK_COMMAND, {"-G", "DEB", "-B", out.path(), "--config", CORVANE_BUILD_DIR "/CPackConfig.cmake"}, env);
    ASSERT_EQ(pack.exitCode, 0) << pack.output.toStdString();
    const QStringList packages = QDir(out.path()).entryList({"corvane_*.deb"});
    ASSERT_EQ(packages.size(), 1) << pack.output.toStdString();
    const QString package = out.filePath(packages.first());

    const Finished fields = runProgram("dpkg-deb", {"--field", package, "Package", "Section", "Depends"}, env);
    ASSERT_EQ(fields.exitCode, 0) << fields.output.toStdString();
    EXPECT_TRUE(fields.output.startsWith("Package: corvane\nSection: mail\n")) << fields.output.toStdString();
    const QString depends = fields.output.section("Depends: ", 1);
    for (const char *needed : {"libqt6core6", "libqt6gui6", "libqt6widgets6", "libqt6dbus6", "libsqlite3-0", "qt6-qpa-plugins"})
        EXPECT_TRUE(depends.contains(needed)) << needed << " in " << depends.toStdString();

    const Finished unpack = runProgram("dpkg-deb", {"--extract", package, out.filePath("root")}, env);
    ASSERT_EQ(unpack.exitCode, 0) << unpack.output.toStdString();
    EXPECT_EQ(tree(out.filePath("root/usr")), tree(usr("")));
    EXPECT_EQ(QFile::symLinkTarget(out.filePath("root/usr/bin/corvane")), out.filePath("root/usr/lib/corvane/corvane"));
}

// A copy of the build's program folder keeps its files beside the programs,
// as it always has, and leaves the user's data folder alone.
TEST_F(InstalledCopy, CopiedProgramFolderKeepsItsFilesBesideTheMailer)
{
    QTemporaryDir copy;
    const QString folder = copy.path() + "/Corvane/";
    ASSERT_TRUE(QDir().mkpath(folder + "agent"));
    for (const QString &file : QStringList{"corvane", "agent/ostrel98"} + storeScripts())
        ASSERT_TRUE(QFile::copy(QStringLiteral(CORVANE_DIST_DIR "/") + file, folder + file)) << file.toStdString();
    QTemporaryDir home;
    expectFirstStart(runProgram(folder + "corvane", {}, session(home.path())));
    expectStore(folder);
    EXPECT_TRUE(QDir(home.path()).isEmpty());
}

}
