#include "support/TestMain.h"

#include <QCoreApplication>

// The main of the test programs that make no window: an event loop and no
// platform plugin, so what they test cannot lean on a widget by accident.
int main(int argc, char **argv)
{
    return runAllTests<QCoreApplication>(argc, argv);
}
