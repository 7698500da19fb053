#include "transport/LineAssembly.h"

#include <cstring>

void LineAssembly::begin()
{
    if (m_reading)
        return;
    m_reading = true;
    m_dropping = false;
    m_line.clear();
}

LineAssembly::Step LineAssembly::take(const char *bytes, int length)
{
    Step step;
    const void *lineFeed = std::memchr(bytes, '\n', static_cast<size_t>(length > 0 ? length : 0));
    const int content = lineFeed ? static_cast<int>(static_cast<const char *>(lineFeed) - bytes) : length;
    for (int i = 0; i < content; ++i) {
        const char byte = bytes[i];
        if (byte == '\r')
            continue;
        if (m_line.size() < Limit) {
            m_line.append(byte);
        } else if (!m_dropping) {
            m_dropping = true;
            step.overLimit = true;
        }
    }
    step.taken = content;
    if (lineFeed) {
        step.taken = content + 1;
        step.end = End::LineFeed;
        m_reading = false;
    }
    return step;
}
