#include "agent/MsgComponent.h"

#include <QEvent>
#include <QWidget>
#include <vector>

namespace agent {

namespace {

// One entry of the hook list: a component that hooked a window. An unhooked
// component leaves its entry behind, empty.
struct HookRecord
{
    QPointer<TmdMsgComponent> component;
    QPointer<QWidget> window;
};

// The process-wide hook list, in the order the components hooked.
std::vector<HookRecord> &hookList()
{
    static std::vector<HookRecord> list;
    return list;
}

// The one filter a hooked window gets, however many components hook it: it
// hands each event to the window's components and lets the window handle it
// after them.
class WindowHook : public QObject
{
public:
    explicit WindowHook(QWidget *window) : QObject(window) { window->installEventFilter(this); }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // A component may hook or unhook while it handles the event: walk
        // the list by position, as it stands at each step.
        for (std::size_t i = 0; i < hookList().size(); ++i) {
            const HookRecord record = hookList()[i];
            if (record.window == watched && record.component)
                record.component->WndProc(event);
        }
        return false;
    }
};

bool isHooked(QWidget *window)
{
    for (QObject *child : window->children()) {
        if (dynamic_cast<WindowHook *>(child))
            return true;
    }
    return false;
}

QWidget *formOf(QObject *owner)
{
    for (QObject *object = owner; object; object = object->parent()) {
        if (object->isWidgetType())
            return static_cast<QWidget *>(object)->window();
    }
    return nullptr;
}

}

TmdMsgComponent::TmdMsgComponent(QObject *owner) : QObject(owner), m_ownerForm(formOf(owner)) {}

TmdMsgComponent::~TmdMsgComponent()
{
    if (m_hookedWindow)
        UnhookWindow(m_hookedWindow);
}

void TmdMsgComponent::setHookedWindow(QWidget *window)
{
    if (window == m_hookedWindow)
        return;
    if (m_hookedWindow)
        UnhookWindow(m_hookedWindow);
    m_hookedWindow = window;
    if (window)
        HookWindow(window);
}

void TmdMsgComponent::HookWindow(QWidget *window)
{
    if (!isHooked(window))
        new WindowHook(window);
    hookList().push_back({this, window});
    m_hookedWindow = window;
}

void TmdMsgComponent::UnhookWindow(QWidget *window)
{
    for (HookRecord &record : hookList()) {
        if (record.component == this && record.window == window) {
            record.component = nullptr;
            return;
        }
    }
}

void TmdMsgComponent::WndProc(QEvent *) {}

}
