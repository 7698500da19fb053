#pragma once

#include "connection/NetworkManagerBackend.h"
#include "mailer/MailerSession.h"
#include "mailer/TF_Mdi.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Result.h"
#include "support/ModalDialogs.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"

#include <QAction>
#include <QComboBox>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

// The mailer's main window shown over a program folder of its own with a
// current store, as after start-up; every box it shows is scripted.
class MainWindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dm = StoreSetup::openDataModule(folder);
        session = std::make_unique<TMailerSession>(*dm, folder.path(), dialUpBackends());
        mdi = std::make_unique<TF_Mdi>(*session);
        mdi->show();
        ASSERT_TRUE(waitFor([&] { return mdi->isVisible(); }));
    }

    // Where the session's dial-up components reach the phone book: as the
    // program has it, unless a test gives one of its own.
    virtual TMailerSession::DialUpBackendFactory dialUpBackends()
    {
        return [] { return std::make_unique<NetworkManagerBackend>(); };
    }

    // The main window's commands, found by their names as the user's tools
    // find them.
    QToolButton *button(const QString &objectName) const
    {
        return mdi->pa_Header()->findChild<QToolButton *>(objectName);
    }
    QAction *menuAction(const QString &objectName) const
    {
        return mdi->menuBar()->findChild<QAction *>(objectName);
    }

    // Opens "New message" with the group chosen as the user chooses it;
    // nullptr when the window did not open.
    TF_NewMsg *openMessageTo(const QString &group)
    {
        menuAction("Groupsend1")->trigger();
        TF_NewMsg *message = mdi->F_NewMsg;
        if (!message)
            return nullptr;
        const int row = message->co_Group->findText(group);
        message->co_Group->setCurrentIndex(row);
        emit message->co_Group->activated(row);
        return message;
    }

    // Clicks "Start sending Email" and waits for the results window: its
    // lines, or nothing when it never came.
    QStringList sendAndReadResults()
    {
        QStringList results;
        whenModal<TF_Result>([&](TF_Result &dialog) {
            results = dialog.mo_Result->toPlainText().split('\n');
            dialog.accept();
        }, 20000);
        button("bu_SendGrpMail")->click();
        waitFor([&] { return !results.isEmpty(); }, 20000);
        return results;
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TMailerSession> session;
    std::unique_ptr<TF_Mdi> mdi;
};
