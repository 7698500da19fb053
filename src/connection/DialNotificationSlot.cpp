#include "connection/DialNotificationSlot.h"

#include <utility>

DialNotificationSlot::DialNotificationSlot(std::function<void()> wake) : m_wake(std::move(wake)) {}

bool DialNotificationSlot::post(const Notification &notification)
{
    std::unique_lock lock(m_mutex);
    m_released.wait(lock, [this] { return m_closed || !m_pending; });
    if (m_closed)
        return false;
    m_pending = notification;
    // Called under the lock so that close() cannot complete in between and
    // leave the owner to be woken after it is gone.
    m_wake();
    return true;
}

std::optional<DialNotificationSlot::Notification> DialNotificationSlot::pending() const
{
    std::lock_guard lock(m_mutex);
    return m_pending;
}

void DialNotificationSlot::release()
{
    {
        std::lock_guard lock(m_mutex);
        m_pending.reset();
    }
    m_released.notify_all();
}

void DialNotificationSlot::close()
{
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        m_pending.reset();
        m_wake = nullptr;
    }
    m_released.notify_all();
}
