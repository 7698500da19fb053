#include "support/TestMain.h"

#include <QApplication>

// The main of the test programs that make windows: an offscreen application,
// so widget tests need no display.
int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return runAllTests<QApplication>(argc, argv);
}
