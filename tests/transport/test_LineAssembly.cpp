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

TEST(LineAssembly, ALineReachingTheLimitEndsThereAndTheRestIsTheNextLine)
{
    LineAssembly assembly;
    assembly.begin();
    const QByteArray bytes = QByteArray(300, 'a') + "\r\n";
    LineAssembly::Step step = take(assembly, bytes);
    EXPECT_EQ(step.end, LineAssembly::End::TooLong);
    EXPECT_EQ(step.taken, LineAssembly::Limit);
    EXPECT_EQ(assembly.line(), QByteArray(LineAssembly::Limit, 'a'));
    assembly.begin();
    step = take(assembly, bytes.mid(step.taken));
    EXPECT_EQ(step.end, LineAssembly::End::LineFeed);
    EXPECT_EQ(assembly.line(), QByteArray(300 - LineAssembly::Limit, 'a'));

    // One short of the limit still ends at its line feed; carriage returns
    // do not count towards it.
    assembly.begin();
    const QByteArray justFits = QByteArray(LineAssembly::Limit - 1, 'b') + "\r\r\n";
    step = take(assembly, justFits);
    EXPECT_EQ(step.end, LineAssembly::End::LineFeed);
    EXPECT_EQ(step.taken, justFits.size());
}
