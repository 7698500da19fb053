#pragma once

#include "mailer/TF_Mdi.h"
#include "mailer/TF_Result.h"
#include "support/ModalDialogs.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"

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
        mdi = std::make_unique<TF_Mdi>(*dm, folder.path());
        mdi->show();
        ASSERT_TRUE(waitFor([&] { return mdi->isVisible(); }));
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
        mdi->button("bu_SendGrpMail")->click();
        waitFor([&] { return !results.isEmpty(); }, 20000);
        return results;
    }

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TF_Mdi> mdi;
};
