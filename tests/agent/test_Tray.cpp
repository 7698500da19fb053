#include "agent/Tray.h"
#include "support/WaitFor.h"

#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QWidget>
#include <gtest/gtest.h>

namespace {

using agent::TmdTray;
using agent::TTrayCallbackEvent;

// A form that counts the callback events it handles itself.
class Form : public QWidget
{
public:
    int callbacksHandled = 0;

protected:
    bool event(QEvent *event) override
    {
        if (event->type() == TTrayCallbackEvent::eventType())
            ++callbacksHandled;
        return QWidget::event(event);
    }
};

void click(QWidget &form, int message, QPoint at = {10, 10})
{
    TTrayCallbackEvent event(message, at);
    QApplication::sendEvent(&form, &event);
}

TEST(Tray, ATipIsCutTo63CharactersAndFollowsTheNameUntilSet)
{
    Form form;
    TmdTray tray(&form);
    EXPECT_EQ(tray.OwnerForm(), &form);
    tray.setObjectName("Tray");
    EXPECT_EQ(tray.Tip(), "Tray");
    const QString long64 = QString(64, u'x');
    tray.setTip(long64);
    EXPECT_EQ(tray.Tip(), long64.left(63));
    tray.setObjectName("Renamed");
    EXPECT_EQ(tray.Tip(), long64.left(63)) << "a tip that was set stays";

    tray.Loaded();
    ASSERT_TRUE(tray.shellIcon());
    EXPECT_EQ(tray.shellIcon()->toolTip(), long64.left(63));
    tray.setTip("Ostrel98 by Tamberlo");
    EXPECT_EQ(tray.shellIcon()->toolTip(), "Ostrel98 by Tamberlo");
}

TEST(Tray, AnIconIndexBeyondTheResourcesGivesNoIconAndNothingIsAdded)
{
    Form form;
    TmdTray tray(&form);
    EXPECT_EQ(tray.IconResources(), QStringList{"MAINICON"});
    EXPECT_FALSE(tray.CurrentIcon().isNull()) << "the program's MAINICON resource";
    tray.setIconIndex(1);
    EXPECT_TRUE(tray.CurrentIcon().isNull());
    tray.setIconIndex(-1);
    EXPECT_TRUE(tray.CurrentIcon().isNull());
    tray.setIconIndex(1);
    tray.Loaded();
    EXPECT_EQ(tray.HookedWindow(), &form) << "adding hooks the owner form's window first";
    EXPECT_EQ(tray.shellIcon(), nullptr);
    EXPECT_FALSE(tray.Active());

    // An icon of its own is shown whatever the index.
    QPixmap picture(16, 16);
    picture.fill(Qt::red);
    tray.setIcon(QIcon(picture));
    tray.setActive(true);
    EXPECT_TRUE(tray.Active());
    ASSERT_TRUE(tray.shellIcon());
    EXPECT_TRUE(tray.shellIcon()->isVisible());
    tray.setActive(false);
    EXPECT_FALSE(tray.Active());
    EXPECT_FALSE(tray.shellIcon()->isVisible());
}

// A form whose tray has a menu of one item, added to the notification area.
struct TrayWithMenu
{
    TrayWithMenu()
    {
        menu.addAction("Item");
        tray.setPopupMenu(&menu);
        tray.Loaded();
    }
    Form form;
    QMenu menu{&form};
    TmdTray tray{&form};
};

TEST(Tray, ClicksBecomeEventsAndARightClickOpensTheMenuAtTheCursor)
{
    TrayWithMenu withMenu;
    Form &form = withMenu.form;
    QMenu &menu = withMenu.menu;
    TmdTray &tray = withMenu.tray;
    QStringList fired;
    tray.SimpelFunction = [&](QObject *sender) { fired << (sender == &tray ? "simple" : "?"); };
    tray.DefaultFunction = [&](QObject *) { fired << "default"; };
    tray.ShowMenu = [&](QObject *) {
        fired << "menu";
        EXPECT_FALSE(menu.isVisible()) << "ShowMenu comes before the menu opens";
    };
    click(form, TTrayCallbackEvent::LeftButtonDown);
    click(form, TTrayCallbackEvent::LeftDoubleClick);
    click(form, 0x202); // a left button release is not heard
    EXPECT_EQ(fired, QStringList({"simple", "default"}));
    click(form, TTrayCallbackEvent::RightButtonDown, {40, 30});
    EXPECT_EQ(fired.last(), "menu");
    EXPECT_TRUE(waitFor([&] { return menu.isVisible(); }));
    EXPECT_EQ(menu.pos(), QPoint(40, 30));
    menu.hide();
}

TEST(Tray, TwoTraysOnOneFormBothHearItsCallbacksAndTheFormHandlesThemOnce)
{
    Form form;
    TmdTray first(&form);
    TmdTray second(&form);
    first.Loaded();
    second.Loaded();
    int firstHeard = 0;
    int secondHeard = 0;
    first.SimpelFunction = [&](QObject *) { ++firstHeard; };
    second.SimpelFunction = [&](QObject *) { ++secondHeard; };
    click(form, TTrayCallbackEvent::LeftButtonDown);
    EXPECT_EQ(firstHeard, 1);
    EXPECT_EQ(secondHeard, 1);
    EXPECT_EQ(form.callbacksHandled, 1);

    // Unhooked, the first hears nothing more; the second and the form still do.
    first.setHookedWindow(nullptr);
    click(form, TTrayCallbackEvent::LeftButtonDown);
    EXPECT_EQ(firstHeard, 1);
    EXPECT_EQ(secondHeard, 2);
    EXPECT_EQ(form.callbacksHandled, 2);
}

TEST(Tray, ADestroyedMenuLeavesTheTrayWithoutOneAndARightClickOnlyFiresShowMenu)
{
    Form form;
    auto *menu = new QMenu(&form);
    TmdTray tray(&form);
    tray.setPopupMenu(menu);
    tray.Loaded();
    int shown = 0;
    tray.ShowMenu = [&](QObject *) { ++shown; };
    delete menu;
    EXPECT_EQ(tray.PopupMenu(), nullptr);
    click(form, TTrayCallbackEvent::RightButtonDown);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(form.findChildren<QMenu *>().isEmpty());
}

TEST(Tray, ATrayDestroyedBeforeItsFormIsNoLongerCalled)
{
    Form form;
    int heard = 0;
    {
        TmdTray tray(&form);
        tray.Loaded();
        tray.SimpelFunction = [&](QObject *) { ++heard; };
    }
    click(form, TTrayCallbackEvent::LeftButtonDown);
    EXPECT_EQ(heard, 0);
    EXPECT_EQ(form.callbacksHandled, 1);
}


// Hosts that show only a menu they were given (StatusNotifier, Wayland) get
// the tray's menu with the icon; when the host opens it on a right click,
// ShowMenu still fires and the tray opens no second one.
TEST(Tray, TheIconCarriesTheMenuAndAHostThatOpensItGetsNoSecondOne)
{
    TrayWithMenu withMenu;
    Form &form = withMenu.form;
    QMenu &menu = withMenu.menu;
    TmdTray &tray = withMenu.tray;
    ASSERT_TRUE(tray.shellIcon());
    EXPECT_EQ(tray.shellIcon()->contextMenu(), &menu);

    int shown = 0;
    tray.ShowMenu = [&](QObject *) { ++shown; };
    TTrayCallbackEvent hostOpened(TTrayCallbackEvent::RightButtonDown, {40, 30}, true);
    QApplication::sendEvent(&form, &hostOpened);
    EXPECT_EQ(shown, 1);
    QApplication::processEvents();
    EXPECT_FALSE(menu.isVisible());

    auto *other = new QMenu(&form);
    tray.setPopupMenu(other);
    EXPECT_EQ(tray.shellIcon()->contextMenu(), other);
    delete other;
    EXPECT_EQ(tray.shellIcon()->contextMenu(), nullptr);
}

}
