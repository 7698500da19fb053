#include "platform/Wait.h"

#include "platform/Prompts.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMouseEvent>
#include <QPointer>
#include <limits>

namespace {

std::function<void()> &beeper()
{
    static std::function<void()> instance;
    return instance;
}

// While a wait runs the user must not start anything else: presses of keys
// and of the left and right mouse buttons are swallowed with a beep. A key
// press is first claimed from the shortcut handling, so it triggers no
// shortcut and reaches the filter as a press; the context menu a right click
// would open is swallowed too. Releases, the middle button, timers, sockets
// and painting pass, and so does everything while a message box asks.
class SwallowInputFilter : public QObject
{
public:
    explicit SwallowInputFilter(const QList<QPointer<QObject>> &passers) : m_passers(passers) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Input reaches a window first and is then handed to the control
        // under the mouse or with the focus: it is judged there, where it is
        // known which control it is for.
        if (!watched || !watched->isWidgetType() || passes(watched))
            return false;
        // A box that asks something while a wait runs (a command heard
        // during the wait may ask) must be answerable; being modal, it keeps
        // the user out of every other window by itself.
        if (Prompt::showing())
            return false;
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            event->accept();
            return true;
        case QEvent::ContextMenu:
            return true;
        case QEvent::KeyPress:
            return beep();
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: {
            const auto button = static_cast<QMouseEvent *>(event)->button();
            return (button == Qt::LeftButton || button == Qt::RightButton) && beep();
        }
        default:
            return false;
        }
    }

private:
    bool passes(const QObject *watched) const
    {
        for (const QObject *o = watched; o; o = o->parent()) {
            for (const QPointer<QObject> &passer : m_passers) {
                if (passer == o)
                    return true;
            }
        }
        return false;
    }

    static bool beep()
    {
        if (beeper())
            beeper()();
        return true;
    }

    const QList<QPointer<QObject>> &m_passers;
};

} // namespace

TWait::TWait(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(m_interval);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TWait::tick);
}

TWait::~TWait() = default;

void TWait::AcceptInputOn(QObject *control)
{
    m_inputPassers.append(control);
}

void TWait::setBeeper(std::function<void()> function)
{
    beeper() = std::move(function);
}

void TWait::setInterval(quint16 ms)
{
    m_interval = ms;
    m_timer.setInterval(ms);
}

void TWait::setVisible(bool visible)
{
    if (m_visible == visible)
        return;
    m_visible = visible;
    emit visibleChanged(visible);
}

qint32 TWait::parseCount(const QString &text)
{
    qsizetype i = 0;
    while (i < text.size() && text.at(i) == QLatin1Char(' '))
        ++i;
    qint64 value = 0;
    for (; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128; ++i) {
        value = value * 10 + (text.at(i).unicode() - '0');
        if (value > std::numeric_limits<qint32>::max())
            return std::numeric_limits<qint32>::max();
    }
    return static_cast<qint32>(value);
}

void TWait::Start()
{
    m_initialCount = parseCount(Caption);
    if (m_initialCount == 0) {
        m_initialCount = 15;
        Caption = QStringLiteral("15");
    }
    m_timer.start();
    if (OnWaitStart)
        OnWaitStart(this);
}

void TWait::Stop()
{
    ModalResult = mrStopped;
    m_timer.stop();
    ResetCaption();
    if (OnWaitStop)
        OnWaitStop(this);
}

void TWait::ResetCaption()
{
    Caption = QString::number(m_initialCount);
}

void TWait::tick()
{
    const qint32 count = parseCount(Caption) - 1;
    if (OnWait)
        OnWait(this, count);
    if (count > 0) {
        Caption = QString::number(count);
    } else {
        m_timer.stop();
        ModalResult = mrTimedOut;
        ResetCaption();
        if (OnTimeout)
            OnTimeout(this);
    }
    emit repaintNeeded();
}

void TWait::Execute()
{
    SwallowInputFilter filter(m_inputPassers);
    QCoreApplication::instance()->installEventFilter(&filter);
    ModalResult = mrNone;
    Start();
    // Blocks until an event arrives (a tick, a socket notification, a
    // repaint); whoever ends the wait does so from inside one of them.
    QEventLoop loop;
    while (Running()) {
        if (OnWaiting)
            OnWaiting(this);
        loop.processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    }
    QCoreApplication::instance()->removeEventFilter(&filter);
}
