#include "mailer/DisplayedLines.h"

#include <gtest/gtest.h>

// Only words longer than the box could ever show on a row are cut, at a
// thousand characters, never inside a character; the text stays the same.
TEST(DisplayedLines, LongWordsAreCutIntoPiecesOfAThousandCharacters)
{
    const QString solid = QString(2500, u'x');
    EXPECT_EQ(DisplayedLines::withLongWordsCut({solid}),
              QStringList({QString(1000, u'x'), QString(1000, u'x'), QString(500, u'x')}));

    const QString words = QString("word ").repeated(1000);
    EXPECT_EQ(DisplayedLines::withLongWordsCut({"short", words}), QStringList({"short", words}))
        << "a long line of ordinary words stays one paragraph";

    // The word is counted from where the box could last wrap.
    const QStringList around = DisplayedLines::withLongWordsCut({"aaa " + QString(1500, u'y') + " ccc"});
    EXPECT_EQ(around, QStringList({"aaa " + QString(1000, u'y'), QString(500, u'y') + " ccc"}));
}

TEST(DisplayedLines, ACutNeverSplitsACharacterOutsideTheBasicPlane)
{
    QString letters;
    for (int i = 0; i < 700; ++i)
        letters += QString::fromUcs4(U"\U0001D400"); // MATHEMATICAL BOLD CAPITAL A, two UTF-16 units
    const QStringList pieces = DisplayedLines::withLongWordsCut({"x" + letters});
    ASSERT_GT(pieces.size(), 1);
    EXPECT_EQ(pieces.join(QString()), "x" + letters);
    for (const QString &piece : pieces) {
        EXPECT_FALSE(piece.back().isHighSurrogate());
        EXPECT_FALSE(piece.front().isLowSurrogate());
    }
}
