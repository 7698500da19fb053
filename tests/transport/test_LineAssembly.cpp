#include "transport/LineAssembly.h"

#include <gtest/gtest.h>

namespace {

LineAssembly::Step take(LineAssembly &assembly, const QByteArray &bytes)
{
    return assembly.take(bytes.constData(), static_cast<int>(bytes.size()));
}

} // namespace

TEST(LineAssembly, ALineEndsAtItsLineFeedAndLeavesWhatFollows)
{
    LineAssembly assembly;
    assembly.begin();
    EXPECT_TRUE(assembly.reading());
    const LineAssembly::Step step = take(assembly, "250 ok\r\n354 next\r\n");
    EXPECT_EQ(step.taken, 8);
    EXPECT_EQ(step.end, LineAssembly::End::LineFeed);
    EXPECT_EQ(assembly.line(), "250 ok");
    EXPECT_FALSE(assembly.reading());
}

TEST(LineAssembly, CarriageReturnsAnywhereAreDroppedAndABareLineFeedEndsAnEmptyLine)
{
    LineAssembly assembly;
    assembly.begin();
    EXPECT_EQ(take(assembly, "2\r2\r0 ok\r\n").end, LineAssembly::End::LineFeed);
    EXPECT_EQ(assembly.line(), "220 ok");
    assembly.begin();
    EXPECT_EQ(take(assembly, "\nnext").taken, 1);
    EXPECT_EQ(assembly.line(), "");
}

TEST(LineAssembly, ALineCutIntoPiecesIsGatheredAndAnUnfinishedOneGoesOnAfterBegin)
{
    LineAssembly assembly;
    assembly.begin();
    LineAssembly::Step step = take(assembly, "220 t");
    EXPECT_EQ(step.taken, 5);
    EXPECT_EQ(step.end, LineAssembly::End::None);
    EXPECT_TRUE(assembly.reading());
    // A time-out stops nothing: the next read begins again and continues the line.
    assembly.begin();
    step = take(assembly, "wo pieces\r");
    EXPECT_EQ(step.end, LineAssembly::End::None);
    step = take(assembly, "\n");
    EXPECT_EQ(step.end, LineAssembly::End::LineFeed);
    EXPECT_EQ(assembly.line(), "220 two pieces");
    // A finished line is not continued.
    assembly.begin();
    take(assembly, "x\n");
    EXPECT_EQ(assembly.line(), "x");
}

TEST(LineAssembly, StopKeepsWhatWasGatheredAndTheNextBeginStartsAfresh)
{
    LineAssembly assembly;
    assembly.begin();
    take(assembly, "half");
    assembly.stop();
    EXPECT_FALSE(assembly.reading());
    EXPECT_EQ(assembly.line(), "half");
    assembly.begin();
    EXPECT_EQ(assembly.line(), "");
}

TEST(LineAssembly, ALineLongerThanTheLimitIsCutThereAndTheRestDroppedUpToItsEnd)
{
    LineAssembly assembly;
    assembly.begin();
    const QByteArray bytes = QByteArray(1500, 'a') + "\r\n250 next\r\n";
    LineAssembly::Step step = take(assembly, bytes);
    EXPECT_EQ(step.end, LineAssembly::End::LineFeed);
    EXPECT_TRUE(step.overLimit);
    EXPECT_EQ(step.taken, 1502);
    EXPECT_EQ(assembly.line(), QByteArray(LineAssembly::Limit, 'a'));
    EXPECT_TRUE(assembly.cut());
    // What follows is the next line the peer sent, not the tail of this one.
    assembly.begin();
    EXPECT_FALSE(assembly.cut());
    step = take(assembly, bytes.mid(step.taken));
    EXPECT_EQ(assembly.line(), "250 next");
    EXPECT_FALSE(step.overLimit);
}

TEST(LineAssembly, ALongLineCutIntoReadsAndATimeOutStaysInStep)
{
    LineAssembly assembly;
    assembly.begin();
    int overLimit = 0;
    for (int i = 0; i < 4; ++i) {
        const QByteArray piece(300, char('a' + i));
        const LineAssembly::Step step = take(assembly, piece);
        EXPECT_EQ(step.taken, 300);
        EXPECT_EQ(step.end, LineAssembly::End::None);
        overLimit += step.overLimit ? 1 : 0;
        // A time-out between reads: the next read goes on dropping.
        assembly.begin();
    }
    EXPECT_EQ(overLimit, 1) << "told once per line";
    EXPECT_EQ(take(assembly, "dd\r\n").end, LineAssembly::End::LineFeed);
    EXPECT_EQ(assembly.line(), QByteArray(300, 'a') + QByteArray(LineAssembly::Limit - 300, 'b'));
    assembly.begin();
    take(assembly, "354 go\n");
    EXPECT_EQ(assembly.line(), "354 go");
}

TEST(LineAssembly, ALineOfExactlyTheLimitIsWholeAndCarriageReturnsDoNotCount)
{
    LineAssembly assembly;
    assembly.begin();
    const QByteArray exact = QByteArray(LineAssembly::Limit - 1, 'b') + "\rc\r\n";
    const LineAssembly::Step step = take(assembly, exact);
    EXPECT_EQ(step.end, LineAssembly::End::LineFeed);
    EXPECT_EQ(step.taken, exact.size());
    EXPECT_FALSE(step.overLimit);
    EXPECT_FALSE(assembly.cut());
    EXPECT_EQ(assembly.line(), QByteArray(LineAssembly::Limit - 1, 'b') + 'c');
}
