#include "store/DM_Databaser.h"
#include "connection/NetworkManagerBackend.h"
#include "mailer/MailerSession.h"
#include "platform/FileLocations.h"
#include "platform/MessageBoxPrompts.h"
#include "platform/ProgramFolder.h"
#include "mailer/TF_Mdi.h"

#include <QApplication>

// Start order: the data module (store version check, connection, tables),
// then the session over it (settings, send components, dial-up through
// NetworkManager), then the main window, then the event loop until the main
// window closes.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Corvane 98 Professional");
    QApplication::setApplicationVersion("2.0");
    // Ties the windows to the menu entry (its name and icon) on the desktop.
    QApplication::setDesktopFileName("corvane");
    MessageBoxPrompts prompts;
    PromptService::Scope promptScope(prompts);

    // The upgrade scripts come from the program folder; the store, the
    // settings, signatures and messages live in the files folder.
    const FileLocations files = FileLocations::forMailer(ProgramFolder::path(), QProcessEnvironment::systemEnvironment());
    QString error;
    if (!files.createFolders(&error)) {
        Prompt::error(error);
        return 1;
    }
    TDM_Databaser dataModule(files.programFolder(), files.filesFolder());
    dataModule.DataModuleCreate();
    if (dataModule.TerminateRequested())
        return 0;

    TMailerSession session(dataModule, files.filesFolder(), [] { return std::make_unique<NetworkManagerBackend>(); });
    TF_Mdi mainWindow(session);
    mainWindow.show();
    return app.exec();
}
