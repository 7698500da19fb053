#include "widgets/EditMask.h"

#include <QLineEdit>
#include <gtest/gtest.h>

namespace {

TEST(EditMask, FieldMasksBecomeQtMasksWithDigitsTheRightWayRound)
{
    EXPECT_EQ(EditMask::toInputMask("!0000/00/00;1;_"), "9999/99/99;_");
    EXPECT_EQ(EditMask::toInputMask("!90:00;1;_"), "09:99;_");
    EXPECT_EQ(EditMask::toInputMask(">LL<ll;0;*"), ">AA<aa;*");
    EXPECT_EQ(EditMask::toInputMask("Aa-Cc #"), "Nn-Xx #; ");
    EXPECT_EQ(EditMask::toInputMask("\\0H<>0"), "\\0\\H!9; ") << "literals Qt would read as mask characters are escaped";
    EXPECT_EQ(EditMask::toInputMask("00_00"), "99 99; ");
    EXPECT_EQ(EditMask::toInputMask(""), "");
}

TEST(EditMask, AMaskedEditorTakesStoredValuesAndTellsBlankText)
{
    QLineEdit date;
    date.setInputMask(EditMask::toInputMask("!0000/00/00;1;_"));
    date.setText("2030-01-02");
    EXPECT_EQ(date.text(), "2030/01/02") << "the stored date reads into the mask";
    EXPECT_FALSE(EditMask::isBlank(date.text()));
    date.clear();
    EXPECT_TRUE(EditMask::isBlank(date.text()));

    QLineEdit time;
    time.setInputMask(EditMask::toInputMask("!90:00;1;_"));
    time.setText("09:30:00");
    EXPECT_EQ(time.text(), "09:30");
    time.setText(" 9:30");
    EXPECT_EQ(time.text().trimmed(), "9:30") << "the hour's first digit may be left out";
}

}
