#pragma once

#include <QByteArray>

// One chunk of a socket's send queue: bytes are written at the end and read
// from the front; once everything is read both positions go back to 0.
class TBuffer
{
public:
    static constexpr int DefaultSize = 1514;

    explicit TBuffer(int size = DefaultSize);

    // Copies as many bytes as fit; returns that number.
    int Write(const char *data, int length);
    // The unread bytes.
    const char *Peek(int &length) const;
    void Remove(int count);
    // Keeps the unread content.
    void SetBufSize(int size);

    int Capacity() const { return static_cast<int>(m_data.size()); }
    int Unread() const { return m_writePos - m_readPos; }

private:
    QByteArray m_data;
    int m_writePos = 0;
    int m_readPos = 0;
};
