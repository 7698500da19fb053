#include "transport/Buffer.h"

#include <gtest/gtest.h>

namespace {
QByteArray unread(const TBuffer &buffer)
{
    int length = 0;
    const char *bytes = buffer.Peek(length);
    return QByteArray(bytes, length);
}
} // namespace

TEST(Buffer, WritesWhatFitsAndRewindsWhenEverythingIsRead)
{
    TBuffer buffer(8);
    EXPECT_EQ(buffer.Write("abcdefghij", 10), 8);
    EXPECT_EQ(unread(buffer), "abcdefgh");
    buffer.Remove(3);
    EXPECT_EQ(unread(buffer), "defgh");
    EXPECT_EQ(buffer.Write("x", 1), 0); // full until everything is read
    buffer.Remove(5);
    EXPECT_EQ(buffer.Unread(), 0);
    EXPECT_EQ(buffer.Write("xyz", 3), 3);
    EXPECT_EQ(unread(buffer), "xyz");
}

TEST(Buffer, DefaultSizeAndResizeKeepUnreadBytes)
{
    EXPECT_EQ(TBuffer(0).Capacity(), 1514);
    EXPECT_EQ(TBuffer(-4).Capacity(), 1514);
    TBuffer buffer(4);
    buffer.Write("abcd", 4);
    buffer.Remove(1);
    buffer.SetBufSize(16);
    EXPECT_EQ(unread(buffer), "bcd");
    EXPECT_EQ(buffer.Write("efgh", 4), 4);
    EXPECT_EQ(unread(buffer), "bcdefgh");
}
