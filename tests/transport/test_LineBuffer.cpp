#include "transport/LineBuffer.h"

#include <QByteArray>
#include <QString>
#include <gtest/gtest.h>

namespace {

constexpr char Guard = '\x7f';
constexpr int GuardBytes = 8;

// Copies into a buffer of `size` bytes followed by guard bytes and returns
// the NUL-terminated text; fails the test when a guard byte was written.
QByteArray copied(const QByteArray &line, qint32 size)
{
    QByteArray buffer(size + GuardBytes, Guard);
    LineBuffer::copyLine(buffer.data(), size, line);
    for (qsizetype i = size; i < buffer.size(); ++i)
        EXPECT_EQ(buffer.at(i), Guard) << "byte " << i << " written past a buffer of " << size;
    const qsizetype end = buffer.indexOf('\0');
    EXPECT_GE(end, 0);
    EXPECT_LT(end, size) << "no NUL within the buffer";
    return buffer.left(end);
}

struct CopyCase
{
    const char *name;
    QByteArray line;
    qint32 size;
    QByteArray expected;
};

// The test name tells which case failed.
using LineBufferCopy = ::testing::TestWithParam<CopyCase>;

const QByteArray Ring = QString::fromUtf8("a\u00e5").toUtf8();           // 1 + 2 bytes
const QByteArray Euro = QString::fromUtf8("ab\u20ac").toUtf8();          // 2 + 3 bytes
const QByteArray Smile = QString::fromUtf8("a\U0001F600").toUtf8();      // 1 + 4 bytes

} // namespace

TEST_P(LineBufferCopy, CutsBetweenCharactersWithinTheBuffer)
{
    const CopyCase &c = GetParam();
    EXPECT_EQ(copied(c.line, c.size), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LineBufferCopy,
    ::testing::Values(CopyCase{"Empty", "", 8, ""},
                      CopyCase{"FillsTheBufferExactly", "abc", 4, "abc"},
                      CopyCase{"AsciiCutAtTheEnd", "abcd", 4, "abc"},
                      CopyCase{"RoomForTheNulOnly", "abc", 1, ""},
                      CopyCase{"TwoByteLetterAtTheCut", Ring, 3, "a"},
                      CopyCase{"TwoByteLetterFits", Ring, 4, Ring},
                      CopyCase{"ThreeByteSignOneByteIn", Euro, 4, "ab"},
                      CopyCase{"ThreeByteSignTwoBytesIn", Euro, 5, "ab"},
                      CopyCase{"ThreeByteSignFits", Euro, 6, Euro},
                      CopyCase{"FourByteSignOneByteIn", Smile, 3, "a"},
                      CopyCase{"FourByteSignThreeBytesIn", Smile, 5, "a"},
                      CopyCase{"FourByteSignFits", Smile, 6, Smile},
                      // The body line buffer: 1022 bytes of text hold 511 two-byte letters.
                      CopyCase{"LongLineOfTwoByteLetters", QString(1030, QChar(0xE5)).toUtf8(), 1023,
                               QString(511, QChar(0xE5)).toUtf8()}),
    [](const ::testing::TestParamInfo<CopyCase> &info) { return std::string(info.param.name); });

TEST(LineBuffer, EveryCutOfMixedTextIsTheLongestWholePrefix)
{
    const QString text = QString::fromUtf8("x\u00e5\u20ac\U0001F600y\u00e5\U0001F600\u20acz");
    const QByteArray utf8 = text.toUtf8();
    for (qint32 size = 1; size <= utf8.size() + 2; ++size) {
        const QByteArray out = copied(utf8, size);
        ASSERT_TRUE(utf8.startsWith(out)) << size;
        EXPECT_EQ(QString::fromUtf8(out).toUtf8(), out) << "a character was split at size " << size;
        // One more character would not have fitted.
        if (out.size() < utf8.size()) {
            const qsizetype next = QString::fromUtf8(out).size();
            const qsizetype step = QChar::isHighSurrogate(text.at(next).unicode()) ? 2 : 1;
            EXPECT_GT(out.size() + text.mid(next, step).toUtf8().size(), size - 1) << size;
        }
    }
}

TEST(LineBuffer, ABufferWithoutRoomIsLeftAlone)
{
    char buffer[2] = {Guard, Guard};
    LineBuffer::copyLine(buffer, 0, "abc");
    LineBuffer::copyLine(buffer, -1, "abc");
    EXPECT_EQ(buffer[0], Guard);
    EXPECT_EQ(buffer[1], Guard);
}
