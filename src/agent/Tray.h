#pragma once

#include "agent/MsgComponent.h"

#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QStringList>
#include <functional>

class QSystemTrayIcon;

namespace agent {

// What the notification area reports to the window of a tray icon: a mouse
// message about the icon and where the cursor was.
class TTrayCallbackEvent : public QEvent
{
public:
    static constexpr int CallbackMessage = 10124;
    static constexpr int LeftButtonDown = 0x201;
    static constexpr int LeftDoubleClick = 0x203;
    static constexpr int RightButtonDown = 0x204;
    static QEvent::Type eventType();

    TTrayCallbackEvent(int mouseMessage, const QPoint &cursor, bool hostShowsMenu = false)
        : QEvent(eventType()), MouseMessage(mouseMessage), Cursor(cursor), HostShowsMenu(hostShowsMenu)
    {
    }

    const int MouseMessage;
    const QPoint Cursor;
    // The notification area opens the icon's menu itself on this click.
    const bool HostShowsMenu;
};

// An icon in the desktop's notification area for the window of its owner:
// added, changed and removed with the Active, Icon, IconResources, IconIndex
// and Tip properties. Clicks on the icon come to the hooked window as
// callback events and become the SimpelFunction (left press),
// DefaultFunction (left double click) and ShowMenu events, a right click
// opening PopupMenu at the cursor. The icon in the notification area carries
// PopupMenu as its context menu, since many hosts (StatusNotifier, Wayland)
// show only a menu they were given and never one opened by the program.
class TmdTray : public TmdMsgComponent
{
    Q_OBJECT
public:
    static constexpr int TipLength = 63;

    explicit TmdTray(QObject *owner);
    ~TmdTray() override;

    // After the owner has set the properties: hooks the owner form's window
    // and adds the icon.
    void Loaded();

    // Reads true only while an icon was added and not removed.
    bool Active() const;
    void setActive(bool active);
    const QIcon &Icon() const { return m_icon; }
    void setIcon(const QIcon &icon);
    // Names of icons among the program's resources (":/icons/NAME").
    const QStringList &IconResources() const { return m_iconResources; }
    void setIconResources(const QStringList &names);
    int IconIndex() const { return m_iconIndex; }
    void setIconIndex(int index);
    QMenu *PopupMenu() const { return m_popupMenu; }
    void setPopupMenu(QMenu *menu);
    // At most TipLength characters; the component's name until one is set.
    QString Tip() const { return m_tip; }
    void setTip(const QString &tip);

    std::function<void(QObject *sender)> ShowMenu;
    std::function<void(QObject *sender)> SimpelFunction;
    std::function<void(QObject *sender)> DefaultFunction;

    virtual void AddIcon();
    virtual void DeleteIcon();
    virtual void ModifyIcon();
    virtual void ShowPopup(const QPoint &point);
    virtual void IconChanged();

    // The icon as the notification area has it: shown, with its picture and
    // tool tip. Null until the first icon was added.
    QSystemTrayIcon *shellIcon() const { return m_shell; }
    // The icon shown now: Icon, else the named resource, else none.
    QIcon CurrentIcon() const;

    void WndProc(QEvent *event) override;

private:
    void iconActivated(int reason);
    void recordIcon();

    bool m_active = true;
    QIcon m_icon;
    QStringList m_iconResources{QStringLiteral("MAINICON")};
    int m_iconIndex = 0;
    QPointer<QMenu> m_popupMenu;
    QString m_tip;
    bool m_tipSet = false;
    // The icon handed to the notification area last.
    QIcon m_recordedIcon;
    QSystemTrayIcon *m_shell = nullptr;
};

}
