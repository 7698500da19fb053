// Measures loading a message file into the message window as the user does
// ("Load message"), and taking its text as the lines a send uses, for a file
// whose text is one line of 1 MB. The baseline is a file of the same size in
// lines of 80 characters, measured in the same run; a line of a quarter of
// the size shows how the time grows with the length of the line. Each line is
// measured as words with blanks and as one word without a blank, which the
// box can only wrap anywhere.
//
// Run offscreen (the default) or under xvfb-run with QT_QPA_PLATFORM=xcb.
// An argument gives the long line's size in kB (default 1024).
#include "BenchStore.h"
#include "mailer/DisplayedLines.h"
#include "send/MessageFile.h"
#include "connection/NetworkManagerBackend.h"
#include "mailer/MailerSession.h"
#include "mailer/TF_Mdi.h"
#include "mailer/TF_NewMsg.h"
#include "store/DM_Databaser.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QToolButton>
#include <cstdio>

namespace {

struct Timing
{
    double loadMs = 0;
    double linesMs = 0;
    qsizetype lines = 0;
};

QString writeMessage(const QString &folder, const QString &name, const QStringList &text)
{
    TMessageFile message;
    message.Text = text;
    message.Signature = "None";
    message.Subject = "Load benchmark";
    const QString path = folder + name;
    QString error;
    if (!message.Save(path, &error))
        std::fprintf(stderr, "%s\n", qPrintable(error));
    return path;
}

// Words and blanks, or (solid) one word that can only be wrapped anywhere.
QStringList oneLine(qsizetype bytes, bool solid = false)
{
    QString line;
    line.reserve(bytes);
    while (line.size() < bytes)
        line += solid ? QStringLiteral("abcdefghij") : QStringLiteral("word%1 ").arg(line.size() % 997);
    line.truncate(bytes);
    return {line};
}

QStringList shortLines(qsizetype bytes)
{
    QStringList lines;
    const QString line = oneLine(80).first();
    for (qsizetype size = 0; size < bytes; size += line.size() + 2)
        lines.append(line);
    return lines;
}

// Loads the file into a fresh message window, then takes its lines.
Timing load(TF_Mdi &mdi, const QString &path)
{
    mdi.menuBar()->findChild<QAction *>("Groupsend1")->trigger();
    TF_NewMsg *window = mdi.F_NewMsg;
    window->chooseOpenFile = [&](const QString &) { return path; };
    QCoreApplication::processEvents();
    Timing timing;
    QElapsedTimer clock;
    clock.start();
    mdi.findChild<QToolButton *>("bu_Ladda")->click();
    window->mo_Message->grab(); // the text as the user sees it
    timing.loadMs = clock.nsecsElapsed() / 1e6;
    clock.restart();
    timing.lines = DisplayedLines::of(window->mo_Message).size();
    timing.linesMs = clock.nsecsElapsed() / 1e6;
    window->parentWidget()->close();
    // The closed window goes now, not inside the next measurement.
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return timing;
}

void print(const char *what, const Timing &t)
{
    std::printf("%-34s load %9.1f ms   lines for a send %9.1f ms   (%lld lines)\n", what, t.loadMs, t.linesMs,
                static_cast<long long>(t.lines));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qsizetype bytes = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 1024) * 1024;
    BenchStore::Workspace workspace;
    TDM_Databaser &dm = workspace.dm();
    const QString folder = workspace.folder();
    TMailerSession session(dm, folder, [] { return std::make_unique<NetworkManagerBackend>(); });
    TF_Mdi mdi(session);
    mdi.resize(800, 600);
    mdi.show();
    QCoreApplication::processEvents();

    const QString shortFile = writeMessage(folder, "short.msg", shortLines(bytes));
    const QString quarterFile = writeMessage(folder, "quarter.msg", oneLine(bytes / 4));
    const QString longFile = writeMessage(folder, "long.msg", oneLine(bytes));
    const QString quarterSolidFile = writeMessage(folder, "quartersolid.msg", oneLine(bytes / 4, true));
    const QString solidFile = writeMessage(folder, "solid.msg", oneLine(bytes, true));
    load(mdi, shortFile); // the first window pays for fonts and styles
    std::printf("message file of %lld kB, platform %s\n", static_cast<long long>(bytes / 1024),
                qPrintable(QGuiApplication::platformName()));
    print("baseline: lines of 80 characters", load(mdi, shortFile));
    print("one line of a quarter of the size", load(mdi, quarterFile));
    print("one line of the full size", load(mdi, longFile));
    print("one word of a quarter of the size", load(mdi, quarterSolidFile));
    print("one word of the full size", load(mdi, solidFile));
    return 0;
}
