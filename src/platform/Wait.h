#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

// A countdown of whole counts (one per Interval) that can hold its caller in a
// modal wait until someone calls Stop or the count runs out. The socket and the
// SMTP client run every blocking network wait in one of these, so timers,
// sockets and painting go on while the user's clicks and keys are swallowed.
// This is the plain logic; TWaitView paints it on a form.
class TWait : public QObject
{
    Q_OBJECT
public:
    using TNotifyEvent = std::function<void(TWait *Sender)>;
    using TWaitEvent = std::function<void(TWait *Sender, qint32 Count)>;

    enum : qint32 { mrNone = 0, mrStopped = 1, mrTimedOut = 2 };

    explicit TWait(QObject *parent = nullptr);
    ~TWait() override;

    // The remaining count in decimal; callers write the seconds to wait here.
    // Writing it does not repaint.
    QString Caption = QStringLiteral("60");
    qint32 ModalResult = mrNone;

    quint16 Interval() const { return m_interval; }
    void setInterval(quint16 ms);

    bool Visible() const { return m_visible; }
    void setVisible(bool visible);

    bool Running() const { return m_timer.isActive(); }
    qint32 InitialCount() const { return m_initialCount; }

    TWaitEvent OnWait;
    TNotifyEvent OnWaiting;
    TNotifyEvent OnWaitStart;
    TNotifyEvent OnWaitStop;
    TNotifyEvent OnTimeout;

    virtual void Start();
    virtual void Stop();
    virtual void Execute();
    virtual void ResetCaption();

    // Leading blanks, then decimal digits up to the first non-digit; no sign.
    // Anything else reads as 0.
    static qint32 parseCount(const QString &text);

    // Input to this control and its children passes the wait, so a command
    // such as a run's Cancel is heard while the run waits.
    void AcceptInputOn(QObject *control);

    // How a swallowed click or key press is signalled; the widget library
    // installs the platform beep.
    static void setBeeper(std::function<void()> beeper);

signals:
    void repaintNeeded();
    void visibleChanged(bool visible);

private:
    void tick();

    QTimer m_timer;
    quint16 m_interval = 1000;
    qint32 m_initialCount = 60;
    bool m_visible = false;
    QList<QPointer<QObject>> m_inputPassers;
};
