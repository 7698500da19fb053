#include "transport/LineAssembly.h"

void LineAssembly::begin()
{
    if (m_reading)
        return;
    m_reading = true;
    m_line.clear();
}

LineAssembly::Step LineAssembly::take(const char *bytes, int length)
{
    Step step;
    while (step.taken < length && step.end == End::None) {
        const char byte = bytes[step.taken++];
        if (byte == '\r')
            continue;
        if (byte == '\n') {
            step.end = End::LineFeed;
            continue;
        }
        m_line.append(byte);
        if (m_line.size() >= Limit)
            step.end = End::TooLong;
    }
    if (step.end != End::None)
        m_reading = false;
    return step;
}
