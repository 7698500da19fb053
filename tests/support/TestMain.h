#pragma once

#include <QTemporaryDir>
#include <gtest/gtest.h>

// What the main of every test program does, under the application its tests
// need, then runs all tests of the program. Qt's own settings (the file
// dialog's last folder, for one) go into a folder of the run's own, never
// into the home folder of whoever runs the tests.
template <typename Application>
int runAllTests(int argc, char **argv)
{
    QTemporaryDir configHome;
    if (!configHome.isValid())
        return 2;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    Application app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
