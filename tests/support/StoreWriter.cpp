// A second program for the tests: runs one SQL script on the store of the
// data folder given, through a connection of its own, and ends.
// Usage: corvane_test_store_writer <data folder> <sql>
#include "store/Database.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>
#include <exception>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: %s <data folder> <sql>\n", argv[0]);
        return 2;
    }
    try {
        TDatabase db;
        db.Params = {"path=" + args[1]};
        db.Open();
        db.executeScript(args[2]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
