#pragma once

#include <QObject>
#include <QPointer>

class QEvent;
class QWidget;

namespace agent {

// A component without a window of its own that hears what its form's window
// hears. Hooking a window puts the component on the process-wide hook list;
// every event to a hooked window reaches each hooked component of that window
// in the order they hooked, and then the window's own handling, once.
class TmdMsgComponent : public QObject
{
    Q_OBJECT
public:
    // The owner form is the nearest window among owner and its parents.
    explicit TmdMsgComponent(QObject *owner);
    ~TmdMsgComponent() override;

    QWidget *OwnerForm() const { return m_ownerForm; }
    QWidget *HookedWindow() const { return m_hookedWindow; }
    // Unhooks the window hooked so far, if any, and hooks this one.
    void setHookedWindow(QWidget *window);

    virtual void HookWindow(QWidget *window);
    virtual void UnhookWindow(QWidget *window);

    // An event to the hooked window, before the window handles it.
    virtual void WndProc(QEvent *event);

private:
    QPointer<QWidget> m_ownerForm;
    QPointer<QWidget> m_hookedWindow;
};

}
