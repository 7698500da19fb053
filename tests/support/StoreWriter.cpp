// A second program for the tests: runs one SQL script on the store of the
// data folder given, through a connection of its own, and ends. With
// --until-killed it runs the script again and again, each time in a
// transaction of its own, and writes the number of commits made so far after
// each one, until it is killed.
// Usage: corvane_test_store_writer <data folder> <sql> [--until-killed]
#include "store/Database.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <exception>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool untilKilled = args.size() == 4 && args[3] == QLatin1String("--until-killed");
    if (args.size() != 3 && !untilKilled) {
        std::fprintf(stderr, "usage: %s <data folder> <sql> [--until-killed]\n", argv[0]);
        return 2;
    }
    try {
        TDatabase db;
        db.Params = {"path=" + args[1]};
        db.Open();
        db.executeScript(args[2]);
        for (long commits = 1; untilKilled; ++commits) {
            std::printf("%ld\n", commits);
            std::fflush(stdout);
            db.executeScript(args[2]);
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
