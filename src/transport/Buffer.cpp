#include "transport/Buffer.h"

#include <algorithm>
#include <cstring>

TBuffer::TBuffer(int size)
{
    SetBufSize(size);
}

int TBuffer::Write(const char *data, int length)
{
    const int count = std::clamp(length, 0, Capacity() - m_writePos);
    if (count > 0)
        std::memcpy(m_data.data() + m_writePos, data, static_cast<size_t>(count));
    m_writePos += count;
    return count;
}

const char *TBuffer::Peek(int &length) const
{
    length = Unread();
    return m_data.constData() + m_readPos;
}

void TBuffer::Remove(int count)
{
    m_readPos += std::clamp(count, 0, Unread());
    if (m_readPos == m_writePos)
        m_readPos = m_writePos = 0;
}

void TBuffer::SetBufSize(int size)
{
    if (size <= 0)
        size = DefaultSize;
    QByteArray resized(std::max(size, Unread()), '\0');
    if (Unread() > 0)
        std::memcpy(resized.data(), m_data.constData() + m_readPos, static_cast<size_t>(Unread()));
    m_writePos = Unread();
    m_readPos = 0;
    m_data = resized;
}
