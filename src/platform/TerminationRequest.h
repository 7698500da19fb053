#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

// A request to end the program from outside (SIGTERM, as a session ending or
// "kill" sends, and SIGINT), heard on the event loop instead of ending the
// process on the spot, so the program can save what it keeps first. One at a
// time per process.
class TerminationRequest : public QObject
{
    Q_OBJECT
public:
    explicit TerminationRequest(std::function<void()> handler, QObject *parent = nullptr);
    ~TerminationRequest() override;

private:
    std::function<void()> m_handler;
    QSocketNotifier *m_notifier = nullptr;
};
