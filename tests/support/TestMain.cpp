#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// One main for every test program: an offscreen application, so widget tests
// need no display, then all tests of the program.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own settings (the file dialog's last folder, for one) go into a
    // folder of the run's own, never into the home folder of whoever runs
    // the tests.
    QTemporaryDir configHome;
    if (!configHome.isValid())
        return 2;
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
