#include "widgets/RecordNavigator.h"
#include "support/ScriptedPrompts.h"
#include "support/StoreSetup.h"
#include "support/TempProgramFolder.h"

#include <QToolButton>
#include <gtest/gtest.h>

namespace {

TEST(RecordNavigator, DeleteAsksFirstAndButtonsFollowTheState)
{
    TempProgramFolder folder;
    ScriptedPrompts prompts;
    auto dm = StoreSetup::openDataModule(folder);
    StoreSetup::addGroup(*dm, "A", {});
    StoreSetup::addGroup(*dm, "B", {});
    TDBNavigator nav("nav");
    nav.setDataSet(&dm->ta_Group);
    EXPECT_EQ(nav.button(TDBNavigator::nbDelete)->toolTip(), "Delete record");
    EXPECT_EQ(nav.button(TDBNavigator::nbPost)->toolTip(), "Post edit");

    dm->ta_Group.First();
    EXPECT_FALSE(nav.button(TDBNavigator::nbPrior)->isEnabled());
    EXPECT_TRUE(nav.button(TDBNavigator::nbNext)->isEnabled());
    EXPECT_FALSE(nav.button(TDBNavigator::nbPost)->isEnabled());

    prompts.answer(PromptAnswer::Cancel);
    nav.button(TDBNavigator::nbDelete)->click();
    EXPECT_EQ(prompts.texts(), QStringList{"Delete record?"});
    EXPECT_EQ(dm->ta_Group.RecordCount(), 2);

    prompts.answer(PromptAnswer::Ok);
    nav.button(TDBNavigator::nbDelete)->click();
    EXPECT_EQ(dm->ta_Group.RecordCount(), 1);
    EXPECT_EQ(dm->ta_Group.FieldByName("Grupp").AsString(), "B");

    nav.button(TDBNavigator::nbEdit)->click();
    EXPECT_EQ(dm->ta_Group.State(), TDataSetState::dsEdit);
    EXPECT_TRUE(nav.button(TDBNavigator::nbPost)->isEnabled());
    EXPECT_FALSE(nav.button(TDBNavigator::nbDelete)->isEnabled());
    nav.button(TDBNavigator::nbCancel)->click();
    EXPECT_EQ(dm->ta_Group.State(), TDataSetState::dsBrowse);
}

TEST(RecordNavigator, AFailedPostIsReportedAndKeepsTheEdit)
{
    TempProgramFolder folder;
    ScriptedPrompts prompts;
    auto dm = StoreSetup::openDataModule(folder);
    TDBNavigator nav("nav");
    nav.setDataSet(&dm->ta_Agent);
    nav.button(TDBNavigator::nbInsert)->click();
    nav.button(TDBNavigator::nbPost)->click();
    ASSERT_EQ(prompts.shown().size(), 1);
    EXPECT_EQ(prompts.shown()[0].kind, PromptKind::Error);
    EXPECT_EQ(prompts.shown()[0].text, "Field 'Group' must have a value");
    EXPECT_EQ(dm->ta_Agent.State(), TDataSetState::dsInsert);
}

}
