#include "transport/LineBuffer.h"

#include <cstring>

namespace LineBuffer {

namespace {

bool isContinuationByte(char byte)
{
    return (static_cast<unsigned char>(byte) & 0xC0) == 0x80;
}

// A UTF-8 character is at most four bytes: one lead byte, up to three after it.
constexpr int MaxContinuationBytes = 3;

} // namespace

qsizetype fitLength(QByteArrayView utf8, qsizetype limit)
{
    if (limit <= 0)
        return 0;
    if (utf8.size() <= limit)
        return utf8.size();
    // The cut falls inside a character when the first byte left out continues
    // it; step back to that character's lead byte.
    qsizetype cut = limit;
    for (int steps = 0; steps < MaxContinuationBytes && cut > 0 && isContinuationByte(utf8.at(cut)); ++steps)
        --cut;
    return cut;
}

void copyLine(char *buffer, qint32 size, QByteArrayView utf8)
{
    if (size <= 0)
        return;
    const qsizetype length = fitLength(utf8, size - 1);
    if (length > 0)
        std::memcpy(buffer, utf8.data(), static_cast<size_t>(length));
    buffer[length] = '\0';
}

} // namespace LineBuffer
