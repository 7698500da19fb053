#pragma once

#include <QtGlobal>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

// The hand-over of asynchronous dial notifications from the backend's thread
// to the main thread. It holds one notification at a time: a notifier that
// finds the slot taken waits until the main thread has delivered the one
// before, so notifications reach the owner one by one and in order.
class DialNotificationSlot
{
public:
    struct Notification
    {
        quint32 message = 0;
        qint32 state = 0;
        qint32 error = 0;
    };

    // wake is called on the notifier's thread each time a notification has
    // been stored; it must only post work to the main thread.
    explicit DialNotificationSlot(std::function<void()> wake);

    // Notifier side. Waits while a notification is pending; returns false,
    // dropping the notification, once the slot is closed.
    bool post(const Notification &notification);

    // Main-thread side.
    std::optional<Notification> pending() const;
    // Frees the slot for the next notification.
    void release();
    // Takes no further notifications and frees a waiting notifier; wake is
    // never called after this returns.
    void close();

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::function<void()> m_wake;
    std::optional<Notification> m_pending;
    bool m_closed = false;
};
