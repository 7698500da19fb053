#include "agent/AgentLock.h"
#include "agent/AgentWindow.h"
#include "connection/NetworkManagerBackend.h"
#include "send/SendComponents.h"
#include "platform/ErrorReport.h"
#include "platform/FileLocations.h"
#include "platform/MessageBoxPrompts.h"
#include "platform/ProgramFolder.h"
#include "platform/TerminationRequest.h"
#include "store/DM_Databaser.h"

#include <QApplication>

// The agent creates only its schedule window, which opens the mailer's store
// as the mailer left it, and runs until Shutdown: closing the window keeps it
// running in the notification area.
int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Ostrel98");
    QApplication::setApplicationVersion("2.0");
    QApplication::setDesktopFileName("ostrel98");
    QApplication::setQuitOnLastWindowClosed(false);
    MessageBoxPrompts prompts;
    PromptService::Scope promptScope(prompts);

    const FileLocations files = FileLocations::forAgent(ProgramFolder::path(), QProcessEnvironment::systemEnvironment());
    QString error;
    if (!files.createFolders(&error)) {
        Prompt::error(error);
        return 1;
    }
    TDM_Databaser dataModule(files.programFolder(), files.filesFolder());
    if (!reportErrors([&] { dataModule.OpenSchedule(); }))
        return 1;
    // A second agent on the same schedule would send every entry twice: it
    // shows the running one and ends.
    agent::TAgentLock lock(dataModule.DataFolder());
    if (!lock.TryLock()) {
        Prompt::information(lock.AskHolderToShow());
        return 0;
    }
    TSendComponents components(std::make_unique<NetworkManagerBackend>());
    agent::TF_Agent window(dataModule, components, files);
    QObject::connect(&lock, &agent::TAgentLock::showRequested, &window, &agent::TF_Agent::Show1Click);
    window.show();
    // A session that ends, or "kill", ends the agent as Shutdown does, so its
    // result log is kept.
    TerminationRequest termination([&window] { window.Shutdown(); });
    return app.exec();
}
