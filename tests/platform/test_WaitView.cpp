#include "platform/Wait.h"
#include "platform/WaitView.h"

#include <QAccessible>
#include <QImage>
#include <QPalette>
#include <algorithm>
#include <cmath>
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

namespace {

// WCAG's relative luminance and contrast ratio.
double luminance(const QColor &color)
{
    const auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// A dark theme: light text on dark windows, a dark highlight with light
// text on it.
QPalette darkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    palette.setColor(QPalette::WindowText, QColor(0xf0, 0xf0, 0xf0));
    palette.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    palette.setColor(QPalette::Text, QColor(0xf0, 0xf0, 0xf0));
    palette.setColor(QPalette::ButtonText, QColor(0xf0, 0xf0, 0xf0));
    palette.setColor(QPalette::Highlight, QColor(0x1d, 0x4f, 0x91));
    palette.setColor(QPalette::HighlightedText, QColor(Qt::white));
    return palette;
}

// The strongest contrast to `background` among the pixels of the digits'
// place: the colour at the heart of their strokes.
double strongestContrast(const QImage &image, const QRect &area, const QColor &background)
{
    double strongest = 1;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            strongest = std::max(strongest, contrast(image.pixelColor(x, y), background));
    }
    return strongest;
}

} // namespace

TEST(WaitView, TheDigitsCanBeReadOnTheWhiteFieldAndOnTheBarUnderADarkTheme)
{
    TWait wait;
    TWaitView view(&wait);
    view.setPalette(darkPalette());
    wait.Caption = "600";
    wait.Start();
    wait.setVisible(true);

    // A short bar: the digits stand on the white field. They were drawn in
    // the theme's light text colour once, white on white.
    wait.Caption = "10";
    const QRect digits(8, 3, 40, view.height() - 7);
    QImage image = view.grab().toImage();
    ASSERT_EQ(image.pixelColor(digits.right(), digits.top()), QColor(Qt::white));
    EXPECT_GE(strongestContrast(image, digits, Qt::white), 4.5);

    // A full bar: the digits stand on the highlight, in the theme's colour
    // for text on it. The thin strokes of the small font are smoothed into
    // the bar, so no pixel has that colour's full contrast: 3 to 1 is what
    // its strongest keeps.
    wait.Caption = "600";
    image = view.grab().toImage();
    const QColor highlight = view.palette().color(QPalette::Highlight);
    ASSERT_EQ(image.pixelColor(digits.right(), digits.top()), highlight);
    EXPECT_GE(strongestContrast(image, digits, highlight), 3.0);
    wait.Stop();
}
