// Self-refreshing datasets, measured where a user meets them.
//
// Refresh: the group editor shows a group of 100 000 recipients; another
// process adds one recipient to it. Measured from the moment the change
// counter's move is seen to the moment the recipient grid has painted with
// the new row, the current row kept. Beside it, in the same run: the same
// on a group of ten, and the bare engine reading the large group's row ids.
//
// Idle: two copies of the mailer started on one program folder (a copy of
// build/dist) and left alone; their CPU time and wake-ups over the period,
// beside a bare Qt window started the same way.
//
// Usage: bench_self_refresh [idle seconds, default 60]
// Runs offscreen unless QT_QPA_PLATFORM says otherwise (xvfb-run with
// QT_QPA_PLATFORM=xcb measures on an X server).
#include "BenchStore.h"
#include "addressbook/TF_Groups.h"
#include "store/DM_Databaser.h"
#include "store/DataSetModel.h"
#include "store/Refresher.h"
#include "widgets/DBGrid.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <sqlite3.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int LargeGroup = 100000;
constexpr int SmallGroup = 10;
constexpr int Rounds = 15;

double maximum(const std::vector<double> &values)
{
    return *std::max_element(values.begin(), values.end());
}

// The second program: adds one recipient to a group and ends.
int insertRecipient(const QString &dataFolder, const QString &group, int number)
{
    TDatabase db;
    db.Params = {"path=" + dataFolder};
    db.Open();
    TQuery q(&db);
    q.SetStatement({"INSERT INTO EMAILS (Name, Email, Unikt, Grupp)", "VALUES (:name, :email, :n, :g)"},
                   {{"name", "Late"}, {"email", QStringLiteral("late%1@example.org").arg(number)}, {"n", number},
                    {"g", group}});
    q.ExecSQL();
    return 0;
}

// The baseline window: a Qt main window with nothing in it.
int bareWindow()
{
    QMainWindow window;
    window.resize(618, 521);
    window.show();
    return QApplication::exec();
}

struct Latency
{
    std::vector<double> shown;   // change seen -> grid painted with the row
    std::vector<double> reread;  // the refresh procedure alone
    std::vector<double> waited;  // other process ended -> change seen
    bool rowsRight = true;
};

// One recipient added by another process, Rounds times, measured through
// the open editor.
Latency measureRefresh(TDM_Databaser &dm, TF_Groups &editor, const QString &group, int groupSize)
{
    Latency result;
    dm.ta_Group.Locate("Grupp", group);
    // The current row a few rows above the end, so the new row comes into view.
    dm.ta_Emails.MoveToRow(groupSize - 5);
    QCoreApplication::processEvents();
    TDBGrid *grid = editor.gr_Recipient;
    TRefresher &refresher = TRefresher::instance();
    // What this program changed itself is shown before the clock starts.
    refresher.CheckChanges();
    refresher.ProcessPending();
    QCoreApplication::processEvents();

    for (int round = 0; round < Rounds; ++round) {
        const QString currentEmail = dm.ta_Emails.FieldByName("Email").AsString();
        const int rowsBefore = grid->dataSetModel()->rowCount();
        QElapsedTimer clock;
        qint64 seen = -1, before = -1, after = -1, painted = -1, ended = -1;
        bool waitingForPaint = false;
        QEventLoop loop;
        auto onSeen = QObject::connect(&refresher, &TRefresher::changeSeen, [&](TDataSet *ds) {
            if (ds == &dm.ta_Emails && seen < 0)
                seen = clock.nsecsElapsed();
        });
        dm.ta_Emails.BeforeRefresh = [&](TDataSet &) { before = clock.nsecsElapsed(); };
        dm.ta_Emails.AfterRefresh = [&](TDataSet &) {
            after = clock.nsecsElapsed();
            waitingForPaint = true;
        };
        // The grid's paint with the new rows; the moment after it has been
        // painted and put on the screen is the next turn of the loop.
        struct PaintWatch : QObject
        {
            std::function<void()> painted;
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::Paint && painted)
                    QTimer::singleShot(0, painted);
                return false;
            }
        } watch;
        watch.painted = [&] {
            if (waitingForPaint && painted < 0) {
                painted = clock.nsecsElapsed();
                loop.quit();
            }
        };
        grid->viewport()->installEventFilter(&watch);

        clock.start();
        QProcess other;
        other.start(QCoreApplication::applicationFilePath(),
                    {"--insert", dm.DataFolder(), group, QString::number(1000000 + round)});
        other.waitForFinished(-1);
        ended = clock.nsecsElapsed();
        QTimer::singleShot(10000, &loop, &QEventLoop::quit);
        loop.exec();
        grid->viewport()->removeEventFilter(&watch);
        QObject::disconnect(onSeen);
        dm.ta_Emails.BeforeRefresh = nullptr;
        dm.ta_Emails.AfterRefresh = nullptr;

        if (seen < 0 || painted < 0) {
            std::fprintf(stderr, "round %d: the change was not shown\n", round);
            result.rowsRight = false;
            continue;
        }
        result.shown.push_back((painted - seen) / 1e6);
        result.reread.push_back((after - before) / 1e6);
        result.waited.push_back((seen - ended) / 1e6);
        if (grid->dataSetModel()->rowCount() != rowsBefore + 1
            || dm.ta_Emails.FieldByName("Email").AsString() != currentEmail
            || grid->currentIndex().row() != dm.ta_Emails.CurrentRow())
            result.rowsRight = false;
    }
    return result;
}

double engineKeyRead(const QString &dbFile, const QString &group)
{
    sqlite3 *db = nullptr;
    sqlite3_open(dbFile.toUtf8().constData(), &db);
    std::vector<double> times;
    for (int i = 0; i < Rounds; ++i) {
        QElapsedTimer t;
        t.start();
        sqlite3_stmt *stmt = nullptr;
        sqlite3_prepare_v2(db, "SELECT rowid FROM EMAILS WHERE Grupp = ?1 ORDER BY Grupp, rowid", -1, &stmt, nullptr);
        const QByteArray g = group.toUtf8();
        sqlite3_bind_text(stmt, 1, g.constData(), static_cast<int>(g.size()), SQLITE_TRANSIENT);
        std::vector<sqlite3_int64> keys;
        while (sqlite3_step(stmt) == SQLITE_ROW)
            keys.push_back(sqlite3_column_int64(stmt, 0));
        sqlite3_finalize(stmt);
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    sqlite3_close(db);
    return BenchStore::median(times);
}

void printLatency(const char *name, const Latency &l)
{
    if (l.shown.empty())
        return;
    std::printf("  %-22s seen -> painted: median %6.1f ms, max %6.1f ms | reread alone: median %6.1f ms | "
                "process ended -> seen: median %6.0f ms, max %6.0f ms | rows and current row right: %s\n",
                name, BenchStore::median(l.shown), maximum(l.shown), BenchStore::median(l.reread),
                BenchStore::median(l.waited), maximum(l.waited), l.rowsRight ? "yes" : "NO");
}

// CPU ticks (user + system) and context switches of a process.
struct ProcessCost
{
    long ticks = 0;
    long voluntary = 0;
    long involuntary = 0;
};

ProcessCost costOf(qint64 pid)
{
    ProcessCost cost;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (stat.open(QIODevice::ReadOnly)) {
        const QByteArray line = stat.readAll();
        // Fields after the command name, which ends with ')'.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        cost.ticks = fields.value(11).toLong() + fields.value(12).toLong();
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &l : status.readAll().split('\n')) {
            if (l.startsWith("voluntary_ctxt_switches:"))
                cost.voluntary = l.mid(24).trimmed().toLong();
            else if (l.startsWith("nonvoluntary_ctxt_switches:"))
                cost.involuntary = l.mid(27).trimmed().toLong();
        }
    }
    return cost;
}

void measureIdle(int seconds)
{
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    QFile::copy(CORVANE_DIST_DIR "/corvane", folder + "corvane");
    QFile(folder + "corvane").setPermissions(QFile(CORVANE_DIST_DIR "/corvane").permissions());
    BenchStore::create(folder);

    struct Started
    {
        const char *name;
        QProcess *process;
    };
    std::vector<Started> started;
    for (const char *name : {"mailer 1", "mailer 2"}) {
        auto *p = new QProcess;
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(folder + "corvane");
        started.push_back({name, p});
    }
    auto *bare = new QProcess;
    bare->start(QCoreApplication::applicationFilePath(), {"--bare-window"});
    started.push_back({"bare Qt window", bare});
    for (const Started &s : started)
        s.process->waitForStarted();
    QThread::sleep(5); // start-up settles
    std::vector<ProcessCost> first;
    for (const Started &s : started)
        first.push_back(costOf(s.process->processId()));
    QThread::sleep(seconds);
    const long tick = sysconf(_SC_CLK_TCK);
    std::printf("idle for %d s (CPU of one core; wake-ups are context switches):\n", seconds);
    for (size_t i = 0; i < started.size(); ++i) {
        const ProcessCost now = costOf(started[i].process->processId());
        const bool running = started[i].process->state() == QProcess::Running;
        const double cpu = 100.0 * (now.ticks - first[i].ticks) / tick / seconds;
        const double wakeups = double(now.voluntary - first[i].voluntary + now.involuntary - first[i].involuntary) / seconds;
        std::printf("  %-15s CPU %.3f %% (%ld ticks of 1/%ld s), %.2f wake-ups/s%s\n", started[i].name, cpu,
                    now.ticks - first[i].ticks, tick, wakeups, running ? "" : "  (NOT RUNNING)");
    }
    for (const Started &s : started) {
        s.process->terminate();
        s.process->waitForFinished(5000);
        delete s.process;
    }
}

}

int main(int argc, char **argv)
{
    if (argc == 5 && QByteArray(argv[1]) == "--insert") {
        QCoreApplication app(argc, argv);
        return insertRecipient(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]), atoi(argv[4]));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 2 && QByteArray(argv[1]) == "--bare-window")
        return bareWindow();
    const int idleSeconds = argc > 1 ? atoi(argv[1]) : 60;
    std::printf("platform: %s\n", qPrintable(QGuiApplication::platformName()));

    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    BenchStore::create(folder);
    {
        TDM_Databaser dm(folder);
        dm.DataModuleCreate();
        BenchStore::fillGroup(dm, "Large", LargeGroup);
        BenchStore::fillGroup(dm, "Small", SmallGroup);
        dm.ta_Group.Refresh();
        TF_Groups editor(dm);
        editor.show();
        QCoreApplication::processEvents();

        std::printf("refresh of the recipient grid after another process added one recipient (%d rounds):\n",
                    Rounds);
        const Latency small = measureRefresh(dm, editor, "Small", SmallGroup);
        const Latency large = measureRefresh(dm, editor, "Large", LargeGroup);
        printLatency("10 recipients", small);
        printLatency("100 000 recipients", large);
        std::printf("  baseline: the engine reading the 100 000 row ids alone: median %.1f ms\n",
                    engineKeyRead(dm.Databas.fileName(), "Large"));
    }
    if (idleSeconds > 0)
        measureIdle(idleSeconds);
    return 0;
}
