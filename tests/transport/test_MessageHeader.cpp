#include "transport/MessageHeader.h"
#include "transport/WireText.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace {
const QDateTime Sunday(QDate(1998, 12, 6), QTime(14, 5, 9));
}

TEST(MessageHeader, DateIsEnglishWithColonsAndTheZone)
{
    const QTimeZone plusOne(3600);
    const QDateTime sunday(Sunday.date(), Sunday.time(), plusOne);
    for (const QLocale::Language language : {QLocale::C, QLocale::German, QLocale::Swedish, QLocale::Finnish}) {
        // A reader expects colons in the time whatever the sender's locale
        // writes (Finnish: "14.05.09").
        const QLocale saved;
        QLocale::setDefault(QLocale(language));
        const QString text = MessageHeader::dateText(sunday);
        QLocale::setDefault(saved);
        EXPECT_EQ(text, "Sun, 6 Dec 1998 14:05:09 +0100") << QLocale::languageToString(language).toStdString();
    }
    const QDate wednesday(2024, 5, 15);
    EXPECT_EQ(MessageHeader::dateText(QDateTime(wednesday, QTime(9, 0), QTimeZone::utc())), "Wed, 15 May 2024 09:00:00 +0000");
    EXPECT_EQ(MessageHeader::dateText(QDateTime(wednesday, QTime(9, 0), QTimeZone(-(3 * 3600 + 1800)))),
              "Wed, 15 May 2024 09:00:00 -0330");
    EXPECT_EQ(MessageHeader::dateText(QDateTime(wednesday, QTime(9, 0), QTimeZone(5 * 3600 + 45 * 60))),
              "Wed, 15 May 2024 09:00:00 +0545");
    EXPECT_EQ(MessageHeader::dateText(QDateTime(wednesday, QTime(9, 0), QTimeZone(-11 * 3600))),
              "Wed, 15 May 2024 09:00:00 -1100");
}

TEST(MessageHeader, BoundaryUsesTheLocaleMonthWhereABoundaryCanHoldIt)
{
    EXPECT_EQ(MessageHeader::boundary(Sunday, QLocale::c()), "= Multipart Boundary Dec06981405");
    EXPECT_EQ(MessageHeader::boundary(Sunday, QLocale(QLocale::German)), "= Multipart Boundary Dez.06981405");
    // "déc." holds a letter a boundary may not: the English name stands in.
    EXPECT_EQ(MessageHeader::boundary(Sunday, QLocale(QLocale::French)), "= Multipart Boundary Dec06981405");
}

TEST(MessageHeader, PlainTextStaysAndOtherWordsAreEncoded)
{
    WireText latin1;
    EXPECT_EQ(MessageHeader::encodeText("Plain <a@b>", latin1), "Plain <a@b>");
    EXPECT_EQ(MessageHeader::encodeText(QString::fromUtf8("Åsa <a@b>"), latin1), "=?iso-8859-1?B?xXNh?= <a@b>");
    // Neighbouring words are encoded together, with the blank between them.
    EXPECT_EQ(MessageHeader::encodeText(QString::fromUtf8("Jöns Öberg"), latin1),
              "=?iso-8859-1?B?" + QByteArray("J\xf6ns \xd6" "berg").toBase64() + "?=");
    EXPECT_EQ(MessageHeader::singleLine("a\r\nb\nc"), "a  b c");
}

TEST(MessageHeader, LongLinesAreCutAtAFold)
{
    EXPECT_EQ(MessageHeader::fitLine("short", 10), "short");
    EXPECT_EQ(MessageHeader::fitLine("abcdefghijkl", 10), "abcdefghij");
    EXPECT_EQ(MessageHeader::fitLine("S: =?x?B?AAAA?=\r\n =?x?B?BBBB?=", 20), "S: =?x?B?AAAA?=");
}

TEST(MessageHeader, LongLinesWithoutAFoldAreCutBetweenCharacters)
{
    const QByteArray line = QString::fromUtf8("To: \u00c5sa \u20ac").toUtf8();
    EXPECT_EQ(MessageHeader::fitLine(line, 5), "To: ");
    EXPECT_EQ(MessageHeader::fitLine(line, 11), QString::fromUtf8("To: \u00c5sa ").toUtf8());
    EXPECT_EQ(MessageHeader::fitLine(line, 10), QString::fromUtf8("To: \u00c5sa ").toUtf8());
}

TEST(MessageHeader, FoldsAtBlanksAndNeverLeavesALineOfBlanks)
{
    WireText latin1;
    const QString words = QString(70, u'a') + " " + QString(70, u'b');
    EXPECT_EQ(MessageHeader::encodeText(words, latin1, 9), QString(70, u'a') + "\r\n " + QString(70, u'b'));
    // Several blanks in a row stay together in front of the next word.
    EXPECT_EQ(MessageHeader::encodeText(QString(70, u'a') + "    b", latin1, 9),
              QString(70, u'a') + "\r\n    b");
    EXPECT_EQ(MessageHeader::encodeText(" lead  and trail ", latin1), " lead  and trail ");
    // A word longer than any line becomes encoded words, folded between them.
    const QByteArray folded = MessageHeader::encodeText(QString(2000, u'x'), latin1, 9);
    for (const QByteArray &line : folded.split('\n'))
        EXPECT_LE(line.size(), 998);
    EXPECT_TRUE(folded.startsWith("=?iso-8859-1?B?"));
}

TEST(MessageHeader, EncodedWordsNeverSplitASurrogatePairAndFoldWithin76)
{
    WireText latin1;
    const QString subject = QString::fromUtf8("Prüfung € 😀").repeated(12);
    const QByteArray encoded = MessageHeader::encodeText(subject, latin1, 9);
    QString decoded;
    for (const QByteArray &line : encoded.split('\n')) {
        EXPECT_LE(line.size(), 76 + 1) << line.constData();
        for (QByteArray word : line.trimmed().split(' ')) {
            ASSERT_TRUE(word.startsWith("=?utf-8?B?") && word.endsWith("?=")) << word.constData();
            const QByteArray octets = QByteArray::fromBase64(word.mid(10, word.size() - 12));
            EXPECT_EQ(QString::fromUtf8(octets).toUtf8(), octets) << "each word holds whole characters";
            decoded += QString::fromUtf8(octets);
        }
    }
    EXPECT_EQ(decoded, subject);
}

TEST(MessageHeader, Utf8HeadersKeepTheirWordsAndStillFold)
{
    WireText utf8(QStringLiteral("utf-8"));
    EXPECT_EQ(MessageHeader::encodeText(QString::fromUtf8("Łukasz <łukasz@example.org>"), utf8, 4, true),
              QString::fromUtf8("Łukasz <łukasz@example.org>").toUtf8());
    const QString words = QString::fromUtf8("żółć ").repeated(30).trimmed();
    const QByteArray folded = MessageHeader::encodeText(words, utf8, 9, true);
    EXPECT_TRUE(folded.contains("\r\n ")) << "folded at blanks";
    EXPECT_EQ(QString::fromUtf8(folded).replace(QStringLiteral("\r\n "), QStringLiteral(" ")), words);
}
