#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// Lines handed to the SMTP client travel as UTF-8 in fixed buffers. A line
// that does not fit is cut at a character boundary: a broken character would
// reach the wire as a replacement mark.
namespace LineBuffer {

// The length of the longest start of `utf8` that holds at most `limit` bytes
// and ends between two characters.
qsizetype fitLength(QByteArrayView utf8, qsizetype limit);

// Copies `utf8` into a NUL-terminated buffer of `size` bytes, cut by
// fitLength to at most size - 1 bytes. Nothing is written when size is 0 or
// less.
void copyLine(char *buffer, qint32 size, QByteArrayView utf8);

} // namespace LineBuffer
