#include "platform/Wait.h"
#include "platform/WaitView.h"

#include <QAccessible>
#include <QImage>
#include <gtest/gtest.h>

TEST(WaitView, BarShrinksWithTheCountAndFollowsVisibility)
{
    TWait wait;
    TWaitView view(&wait);
    EXPECT_EQ(view.size(), QSize(192, 32));
    EXPECT_TRUE(view.isHidden());

    wait.Caption = "60";
    wait.Start();
    wait.Caption = "30";
    EXPECT_EQ(view.barLength(), 30 * (192 - 7) / 60);

    wait.setVisible(true);
    EXPECT_FALSE(view.isHidden());
    const QImage image = view.grab().toImage();
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(40, 28), view.palette().color(QPalette::Highlight));
    EXPECT_EQ(image.pixelColor(150, 28), QColor(Qt::white));
    wait.Stop();
    wait.setVisible(false);
    EXPECT_TRUE(view.isHidden());
}

TEST(WaitView, AssistiveTechnologyReadsTheCountItShows)
{
    TWait wait;
    TWaitView view(&wait);
    wait.Caption = "15";
    wait.Start();
    wait.Caption = "9";
    QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(&view);
    ASSERT_NE(spoken, nullptr);
    EXPECT_EQ(spoken->role(), QAccessible::ProgressBar);
    EXPECT_EQ(spoken->text(QAccessible::Name), "Wait");
    EXPECT_FALSE(spoken->text(QAccessible::Description).isEmpty());
    EXPECT_EQ(spoken->text(QAccessible::Value), "9");
    ASSERT_NE(spoken->valueInterface(), nullptr);
    EXPECT_EQ(spoken->valueInterface()->currentValue().toInt(), 9);
    EXPECT_EQ(spoken->valueInterface()->maximumValue().toInt(), 15);
    wait.Stop();
}
