#include "transport/SendQueue.h"

#include <algorithm>

void SendQueue::append(const char *data, int length)
{
    if (m_chunks.empty())
        m_chunks.emplace_back(TBuffer::DefaultSize);
    while (length > 0) {
        const int written = m_chunks.back().Write(data, length);
        if (written == 0) {
            m_chunks.emplace_back(TBuffer::DefaultSize);
            continue;
        }
        data += written;
        length -= written;
        m_queuedBytes += written;
    }
}

const char *SendQueue::next(int &length)
{
    length = 0;
    while (!m_chunks.empty()) {
        const char *bytes = m_chunks.front().Peek(length);
        if (length > 0 || m_chunks.size() == 1)
            return bytes;
        m_chunks.pop_front();
    }
    return nullptr;
}

void SendQueue::sent(int count)
{
    if (m_chunks.empty() || count <= 0)
        return;
    TBuffer &front = m_chunks.front();
    const int taken = std::min(count, front.Unread());
    front.Remove(taken);
    m_queuedBytes -= taken;
}

void SendQueue::clear()
{
    m_chunks.clear();
    m_queuedBytes = 0;
}
