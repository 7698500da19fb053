// Measures the group editor on a group of 100 000 recipients: inserting one
// more recipient (post, number, member count, grid refresh) and opening the
// editor until its grids show their first rows. Each figure stands beside the
// same operation on a group of ten recipients, measured in the same run.
#include "addressbook/AddressBook.h"
#include "BenchStore.h"
#include "store/DM_Databaser.h"
#include "store/DataSetModel.h"
#include "widgets/DBGrid.h"
#include "platform/Prompts.h"
#include "addressbook/TF_Groups.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int LargeGroup = 100000;
constexpr int SmallGroup = 10;
constexpr int Inserts = 30;

// Milliseconds of each of Inserts recipient inserts into the group.
std::vector<double> timeInserts(TDM_Databaser &dm, TAddressBook &book, const QString &group)
{
    dm.ta_Group.Locate("Grupp", group);
    std::vector<double> times;
    for (int i = 0; i < Inserts; ++i) {
        QElapsedTimer t;
        t.start();
        book.InsertRecipient("New member", QStringLiteral("new%1@example.org").arg(i));
        QCoreApplication::processEvents();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    return times;
}

double timeOpenEditor(TDM_Databaser &dm, const QString &group)
{
    dm.ta_Group.Locate("Grupp", group);
    QElapsedTimer t;
    t.start();
    TF_Groups editor(dm);
    editor.show();
    QCoreApplication::processEvents();
    editor.gr_Recipient->grab(); // paints the visible rows
    const double ms = t.nsecsElapsed() / 1e6;
    if (editor.gr_Recipient->dataSetModel()->rowCount() < SmallGroup)
        std::fprintf(stderr, "editor shows no rows\n");
    return ms;
}

}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchStore::Workspace workspace;
    TDM_Databaser &dm = workspace.dm();
    BenchStore::fillGroup(dm, "Small", SmallGroup);
    BenchStore::fillGroup(dm, "Large", LargeGroup);
    dm.ta_Group.Refresh();
    TAddressBook book(dm);

    timeOpenEditor(dm, "Small"); // the first window pays for loading fonts and styles
    const double openSmall = timeOpenEditor(dm, "Small");
    const double openLarge = timeOpenEditor(dm, "Large");
    const auto small = timeInserts(dm, book, "Small");
    const auto large = timeInserts(dm, book, "Large");
    std::printf("open editor, first rows shown: %d recipients %.1f ms, %d recipients %.1f ms\n", SmallGroup,
                openSmall, LargeGroup, openLarge);
    std::printf("insert one recipient (median of %d): %d recipients %.2f ms, %d recipients %.2f ms (max %.2f ms)\n",
                Inserts, SmallGroup, BenchStore::median(small), LargeGroup, BenchStore::median(large),
                *std::max_element(large.begin(), large.end()));
    return 0;
}
