// Imports a free-text file of 100 000 addresses (or the count given as the
// first argument) into an empty group through the import wizard, driven as a
// user drives it from the group editor: the real windows, shown. It measures
// the run's time, the longest time the event loop did not turn (a 1 ms timer
// fires on every turn) and the longest gap between paints of the progress
// bar; at every turn it compares the Members the editor shows with the rows
// the store holds. The baseline, measured in the same run, is the same rows
// inserted straight through SQL in one transaction.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_import
//   xvfb-run -s "-screen 0 1280x1024x24" env QT_QPA_PLATFORM=xcb build/bench/bench_import
#include "BenchStore.h"
#include "addressbook/AddressBook.h"
#include "addressbook/TF_Groups.h"
#include "addressbook/TF_Import.h"
#include "platform/Prompts.h"
#include "store/DM_Databaser.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

namespace {

struct Gaps
{
    QElapsedTimer clock;
    qint64 last = -1;
    qint64 longest = 0;
    int count = 0;
    void tick()
    {
        const qint64 now = clock.nsecsElapsed();
        if (last >= 0)
            longest = std::max(longest, now - last);
        last = now;
        ++count;
    }
    // The gap does not count the measurement's own work.
    void resume() { last = clock.nsecsElapsed(); }
};

// Counts the paints of one widget.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(Gaps &gaps) : m_gaps(gaps) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            m_gaps.tick();
        return false;
    }

private:
    Gaps &m_gaps;
};

int storedCount(const QString &folder, const QString &sql)
{
    TDatabase other; // another program's view: only what was committed
    other.Params = {"path=" + folder + "DATA"};
    other.Open();
    TQuery q(&other);
    q.AddSQL(sql);
    q.Open();
    return q.Fields(0).AsInteger();
}

void writeFreeText(const QString &path, int addresses)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    for (int i = 0; i < addresses; ++i)
        file.write(QStringLiteral("Write to \"Person %1\" person%1@example.org about order #%1, thanks\r\n")
                       .arg(i)
                       .toUtf8());
}

}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int addresses = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    const QString folder = dir.path() + '/';
    BenchStore::create(folder);
    const QString importFile = folder + "addresses.txt";
    writeFreeText(importFile, addresses);

    TDM_Databaser dm(folder);
    dm.DataModuleCreate();
    QElapsedTimer baselineClock;
    baselineClock.start();
    BenchStore::fillGroup(dm, "Baseline", addresses);
    const double baselineMs = baselineClock.nsecsElapsed() / 1e6;

    TAddressBook book(dm);
    book.InsertGroup("Imported");
    TF_Groups editor(dm);
    editor.show();

    Gaps turns;
    Gaps paints;
    PaintWatch watch(paints);
    int wrongCounts = 0;
    int looks = 0;
    QTimer loopTurn;
    QObject::connect(&loopTurn, &QTimer::timeout, [&] {
        turns.tick();
        // What a user sees in the editor now, against what the store holds.
        ++looks;
        if (dm.ta_Group.FieldByName("Members").AsInteger()
            != storedCount(folder, "SELECT COUNT(*) FROM EMAILS WHERE Grupp = 'Imported'"))
            ++wrongCounts;
        turns.resume();
    });

    double runMs = 0;
    QTimer drive;
    QObject::connect(&drive, &QTimer::timeout, [&] {
        auto *wizard = qobject_cast<TF_Import *>(QApplication::activeModalWidget());
        if (!wizard)
            return;
        drive.stop();
        wizard->lb_Format->setCurrentRow(TF_Import::FormatUnknown);
        wizard->bu_Next->click();
        wizard->ed_File->setText(importFile);
        wizard->bu_Next->click();
        wizard->co_Group->setCurrentText("Imported");
        wizard->pg_Amazon->installEventFilter(&watch);
        turns.clock.start();
        paints.clock.start();
        loopTurn.start(1);
        QElapsedTimer run;
        run.start();
        wizard->bu_Next->click();
        runMs = run.nsecsElapsed() / 1e6;
        loopTurn.stop();
        if (!wizard->la_Finish->isVisible())
            std::fprintf(stderr, "the wizard did not finish\n");
        wizard->bu_Cancel->click();
    });
    drive.start(5);
    editor.bu_Import->click();

    const int rows = storedCount(folder, "SELECT COUNT(*) FROM EMAILS WHERE Grupp = 'Imported'");
    const int members = storedCount(folder, "SELECT Members FROM GROUPS WHERE Grupp = 'Imported'");
    std::printf("platform %s, %d addresses\n", qPrintable(QGuiApplication::platformName()), addresses);
    std::printf("import through the wizard: %.0f ms; baseline, same rows by SQL in one transaction: %.0f ms\n",
                runMs, baselineMs);
    std::printf("event loop: %d turns, longest gap %.1f ms; progress bar: %d paints, longest gap %.1f ms\n",
                turns.count, turns.longest / 1e6, paints.count, paints.longest / 1e6);
    std::printf("Members shown at each turn checked against the store: %d looks, %d wrong\n", looks, wrongCounts);
    std::printf("after the run: %d rows, Members %d, editor shows Members %d and %d recipient rows\n", rows,
                members, dm.ta_Group.FieldByName("Members").AsInteger(), dm.ta_Emails.RecordCount());
    return rows == addresses && members == rows && wrongCounts == 0 ? 0 : 1;
}
