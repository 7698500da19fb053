#include "transport/SendQueue.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {

// Sends everything, `perSend` bytes at a time at most, as a socket whose
// platform takes only part of what it is offered would.
QByteArray drain(SendQueue &queue, int perSend)
{
    QByteArray out;
    for (;;) {
        int length = 0;
        const char *bytes = queue.next(length);
        if (length == 0)
            return out;
        const int sent = std::min(length, perSend);
        out.append(bytes, sent);
        queue.sent(sent);
    }
}

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>('a' + i % 26);
    return bytes;
}

} // namespace

TEST(SendQueue, AnEmptyQueueHasNothingToSend)
{
    SendQueue queue;
    int length = -1;
    queue.next(length);
    EXPECT_EQ(length, 0);
    EXPECT_TRUE(queue.isEmpty());
    queue.sent(10); // nothing to take: no effect
    EXPECT_EQ(queue.queuedBytes(), 0);
}

TEST(SendQueue, BytesLeaveInOrderAcrossChunksWhateverThePlatformTakes)
{
    // Over three chunks, appended in pieces that straddle the chunk borders.
    const QByteArray bytes = pattern(3 * TBuffer::DefaultSize + 17);
    for (int perSend : {1, 100, TBuffer::DefaultSize - 1, TBuffer::DefaultSize, 100000}) {
        SendQueue queue;
        for (qsizetype at = 0; at < bytes.size(); at += 700)
            queue.append(bytes.constData() + at, static_cast<int>(std::min<qsizetype>(700, bytes.size() - at)));
        EXPECT_EQ(queue.queuedBytes(), bytes.size());
        EXPECT_EQ(drain(queue, perSend), bytes) << perSend << " bytes per send";
        EXPECT_TRUE(queue.isEmpty());
    }
}

TEST(SendQueue, OneChunkIsHandedOutAtATime)
{
    SendQueue queue;
    const QByteArray bytes = pattern(TBuffer::DefaultSize + 10);
    queue.append(bytes.constData(), static_cast<int>(bytes.size()));
    int length = 0;
    queue.next(length);
    EXPECT_EQ(length, TBuffer::DefaultSize);
    queue.sent(TBuffer::DefaultSize - 4);
    EXPECT_EQ(queue.queuedBytes(), 14);
    const char *rest = queue.next(length);
    EXPECT_EQ(QByteArray(rest, length), bytes.mid(TBuffer::DefaultSize - 4, 4)) << "the rest of the first chunk";
    queue.sent(length);
    rest = queue.next(length);
    EXPECT_EQ(QByteArray(rest, length), bytes.right(10));
}

TEST(SendQueue, AQueueSentEmptyIsWrittenIntoAgainAndClearDropsEverything)
{
    SendQueue queue;
    queue.append("first", 5);
    EXPECT_EQ(drain(queue, 2), "first");
    queue.append("second", 6);
    EXPECT_EQ(queue.queuedBytes(), 6);
    EXPECT_EQ(drain(queue, 100), "second");

    const QByteArray bytes = pattern(2 * TBuffer::DefaultSize);
    queue.append(bytes.constData(), static_cast<int>(bytes.size()));
    queue.clear();
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_EQ(drain(queue, 100), "");
    queue.append("after", 5);
    EXPECT_EQ(drain(queue, 100), "after");
}
