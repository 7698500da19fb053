#include "agent/Tray.h"

#include <QApplication>
#include <QCursor>
#include <QFile>
#include <QMenu>
#include <QSystemTrayIcon>
#include <QWidget>

namespace agent {

QEvent::Type TTrayCallbackEvent::eventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + CallbackMessage));
    return type;
}

TmdTray::TmdTray(QObject *owner) : TmdMsgComponent(owner)
{
    // Until a tip is set, the tip follows the component's name.
    connect(this, &QObject::objectNameChanged, this, [this](const QString &name) {
        if (!m_tipSet)
            m_tip = name.left(TipLength);
    });
}

TmdTray::~TmdTray()
{
    DeleteIcon();
    if (HookedWindow())
        UnhookWindow(HookedWindow());
}

void TmdTray::Loaded()
{
    AddIcon();
}

QIcon TmdTray::CurrentIcon() const
{
    if (!m_icon.isNull())
        return m_icon;
    if (m_iconIndex < 0 || m_iconIndex >= m_iconResources.size())
        return {};
    const QString path = QStringLiteral(":/icons/") + m_iconResources.at(m_iconIndex);
    return QFile::exists(path) ? QIcon(path) : QIcon();
}

void TmdTray::recordIcon()
{
    m_recordedIcon = CurrentIcon();
    if (!m_shell)
        return;
    m_shell->setIcon(m_recordedIcon);
    m_shell->setToolTip(m_tip);
}

void TmdTray::AddIcon()
{
    if (!HookedWindow() && OwnerForm())
        setHookedWindow(OwnerForm());
    m_recordedIcon = CurrentIcon();
    if (m_recordedIcon.isNull() || !HookedWindow())
        return;
    if (!m_shell) {
        m_shell = new QSystemTrayIcon(this);
        connect(m_shell, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            iconActivated(reason);
        });
        m_shell->setContextMenu(m_popupMenu);
    }
    recordIcon();
    m_shell->show();
}

void TmdTray::DeleteIcon()
{
    if (m_shell)
        m_shell->hide();
}

void TmdTray::ModifyIcon()
{
    if (!Active())
        return;
    recordIcon();
}

void TmdTray::IconChanged()
{
    if (CurrentIcon().cacheKey() != m_recordedIcon.cacheKey())
        ModifyIcon();
}

bool TmdTray::Active() const
{
    return !m_recordedIcon.isNull() && m_active;
}

void TmdTray::setActive(bool active)
{
    if (active == Active())
        return;
    m_active = active;
    if (active)
        AddIcon();
    else
        DeleteIcon();
}

void TmdTray::setIcon(const QIcon &icon)
{
    m_icon = icon;
    ModifyIcon();
}

void TmdTray::setIconResources(const QStringList &names)
{
    m_iconResources = names;
    ModifyIcon();
}

void TmdTray::setIconIndex(int index)
{
    if (index == m_iconIndex)
        return;
    m_iconIndex = index;
    if (m_icon.isNull())
        ModifyIcon();
}

void TmdTray::setPopupMenu(QMenu *menu)
{
    // A menu destroyed later leaves the tray without one.
    m_popupMenu = menu;
    if (m_shell)
        m_shell->setContextMenu(menu);
}

void TmdTray::setTip(const QString &tip)
{
    m_tip = tip.left(TipLength);
    m_tipSet = true;
    ModifyIcon();
}

void TmdTray::ShowPopup(const QPoint &point)
{
    if (!m_popupMenu)
        return;
    if (HookedWindow())
        HookedWindow()->activateWindow();
    m_popupMenu->popup(point);
}

void TmdTray::iconActivated(int reason)
{
    int message = 0;
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        message = TTrayCallbackEvent::LeftButtonDown;
        break;
    case QSystemTrayIcon::DoubleClick:
        message = TTrayCallbackEvent::LeftDoubleClick;
        break;
    case QSystemTrayIcon::Context:
        message = TTrayCallbackEvent::RightButtonDown;
        break;
    default:
        return;
    }
    // Through the window, as the notification area reports: every tray
    // component of that window hears it.
    if (HookedWindow())
        QCoreApplication::postEvent(HookedWindow(),
                                    new TTrayCallbackEvent(message, QCursor::pos(), m_shell->contextMenu() != nullptr));
}

void TmdTray::WndProc(QEvent *event)
{
    if (event->type() != TTrayCallbackEvent::eventType())
        return;
    const auto *callback = static_cast<TTrayCallbackEvent *>(event);
    switch (callback->MouseMessage) {
    case TTrayCallbackEvent::LeftButtonDown:
        if (SimpelFunction)
            SimpelFunction(this);
        break;
    case TTrayCallbackEvent::LeftDoubleClick:
        if (DefaultFunction)
            DefaultFunction(this);
        break;
    case TTrayCallbackEvent::RightButtonDown:
        if (ShowMenu)
            ShowMenu(this);
        if (!callback->HostShowsMenu)
            ShowPopup(callback->Cursor);
        break;
    default:
        break;
    }
}

}
