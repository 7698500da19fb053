// Another program sending through the same server: takes places in the
// sending limit's window of the store, all at one moment of its own clock,
// and prints how many it got.
// Usage: corvane_test_window_sender <data folder> <server> <count> <minutes> <attempts> <ms since epoch>
#include "store/Database.h"
#include "store/SendWindow.h"
#include "support/MockClock.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <exception>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 7) {
        std::fprintf(stderr, "usage: %s <data folder> <server> <count> <minutes> <attempts> <ms since epoch>\n", argv[0]);
        return 2;
    }
    try {
        MockClock clock(QDateTime::fromMSecsSinceEpoch(args[6].toLongLong()));
        TDatabase db;
        db.Params = {"path=" + args[1]};
        db.Open();
        TSendWindow window(db, args[2], {args[3].toInt(), args[4].toInt()});
        int taken = 0;
        for (int attempt = args[5].toInt(); attempt > 0; --attempt)
            taken += window.Take() ? 1 : 0;
        std::printf("%d\n", taken);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
