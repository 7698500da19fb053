#pragma once

#include "transport/Buffer.h"

#include <QtGlobal>
#include <list>

// The bytes a socket has still to send, in chunks of TBuffer: appended at the
// back, sent from the front. A chunk that has been sent is dropped, except the
// last one, which is written into again.
class SendQueue
{
public:
    void append(const char *data, int length);
    // The unsent bytes of the first chunk that has any; length 0 when
    // everything has been sent.
    const char *next(int &length);
    // `count` of the bytes that next() handed out have been sent.
    void sent(int count);
    void clear();

    qint64 queuedBytes() const { return m_queuedBytes; }
    bool isEmpty() const { return m_queuedBytes == 0; }

private:
    std::list<TBuffer> m_chunks;
    qint64 m_queuedBytes = 0;
};
