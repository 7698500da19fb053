#include "store/DM_Databaser.h"
#include "platform/MessageBoxPrompts.h"
#include "platform/ProgramFolder.h"
#include "mailer/TF_Mdi.h"

#include <QApplication>

// Start order: the data module (store version check, connection, tables),
// then the main window, then the event loop until the main window closes.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Corvane 98 Professional");
    QApplication::setApplicationVersion("2.0");
    MessageBoxPrompts prompts;
    PromptService::Scope promptScope(prompts);

    const QString folder = ProgramFolder::path();
    TDM_Databaser dataModule(folder);
    dataModule.DataModuleCreate();
    if (dataModule.TerminateRequested())
        return 0;

    TF_Mdi mainWindow(dataModule, folder);
    mainWindow.show();
    return app.exec();
}
