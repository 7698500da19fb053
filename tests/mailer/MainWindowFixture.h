#pragma once

#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "mailer/TF_Mdi.h"
#include "support/TempProgramFolder.h"
#include "support/WaitFor.h"

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

    TempProgramFolder folder;
    ScriptedPrompts prompts;
    std::unique_ptr<TDM_Databaser> dm;
    std::unique_ptr<TF_Mdi> mdi;
};
