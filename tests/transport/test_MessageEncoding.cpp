#include "transport/MessageText.h"
#include "transport/MimeParameter.h"
#include "transport/QuotedPrintable.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

using Lines = QList<QByteArray>;

// What a reader makes of quoted-printable lines: soft breaks joined, "=XX"
// turned back into octets.
QByteArray decoded(const Lines &lines)
{
    QByteArray octets;
    for (const QByteArray &line : lines) {
        const bool soft = line.endsWith('=');
        const QByteArray text = soft ? line.chopped(1) : line;
        for (qsizetype i = 0; i < text.size(); ++i) {
            if (text.at(i) == '=') {
                octets += static_cast<char>(text.mid(i + 1, 2).toInt(nullptr, 16));
                i += 2;
            } else {
                octets += text.at(i);
            }
        }
        if (!soft)
            octets += "\r\n";
    }
    return octets;
}

void expectWellFormed(const Lines &lines)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray &line = lines.at(i);
        EXPECT_LE(line.size(), QuotedPrintable::LineLength) << line.constData();
        for (const char c : line)
            EXPECT_TRUE((c >= 33 && c <= 126) || c == ' ' || c == '\t') << line.constData();
        EXPECT_FALSE(line.endsWith(' ') || line.endsWith('\t')) << "a reader may drop blanks at a line's end";
        EXPECT_EQ(line.endsWith('='), i + 1 < lines.size()) << "soft breaks on every line but the last";
    }
}

} // namespace

TEST(QuotedPrintable, PlainAsciiStaysAsItIs)
{
    EXPECT_EQ(QuotedPrintable::encodeLine("Hello, all: see you at 10."), Lines{"Hello, all: see you at 10."});
    EXPECT_EQ(QuotedPrintable::encodeLine(""), Lines{""}) << "an empty line stays one line";
    EXPECT_EQ(QuotedPrintable::encodeLine("a\tb c"), Lines{"a\tb c"});
}

TEST(QuotedPrintable, EqualsSignsOctetsAboveAsciiAndBlanksAtTheEndAreEncoded)
{
    EXPECT_EQ(QuotedPrintable::encodeLine("1+1=2"), Lines{"1+1=3D2"});
    EXPECT_EQ(QuotedPrintable::encodeLine("Gr\xfc\xdf" "e"), Lines{"Gr=FC=DFe"});
    EXPECT_EQ(QuotedPrintable::encodeLine("end "), Lines{"end=20"});
    EXPECT_EQ(QuotedPrintable::encodeLine("end\t"), Lines{"end=09"});
    EXPECT_EQ(QuotedPrintable::encodeLine("  "), Lines{" =20"});
    EXPECT_EQ(QuotedPrintable::encodeLine("a\rb\x01"), Lines{"a=0Db=01"}) << "control octets never go bare";
}

TEST(QuotedPrintable, SoftBreaksKeepLinesWithin76)
{
    EXPECT_EQ(QuotedPrintable::encodeLine(QByteArray(76, 'a')), Lines{QByteArray(76, 'a')})
        << "76 characters fit on the last line";
    EXPECT_EQ(QuotedPrintable::encodeLine(QByteArray(77, 'a')), (Lines{QByteArray(75, 'a') + "=", "aa"}));
    // An "=XX" is never split by a soft break.
    const Lines split = QuotedPrintable::encodeLine(QByteArray(74, 'a') + "==");
    EXPECT_EQ(split, (Lines{QByteArray(74, 'a') + "=", "=3D=3D"}));
    // A blank before a soft break is not at the line's end.
    const QByteArray blanks = QByteArray(75, 'b') + " " + QByteArray(5, 'c');
    EXPECT_EQ(QuotedPrintable::encodeLine(blanks), (Lines{QByteArray(75, 'b') + "=", " ccccc"}));
    const QByteArray any = QByteArray("x = y \xe9\t ").repeated(40);
    const Lines lines = QuotedPrintable::encodeLine(any);
    expectWellFormed(lines);
    EXPECT_EQ(decoded(lines), any + "\r\n");
}

TEST(QuotedPrintable, AUtf8CharacterStaysOnOneLine)
{
    // 😀 is four octets, twelve characters encoded: wherever the break comes,
    // the whole character is on one side of it.
    const QByteArray emoji = QString::fromUtf8("\xF0\x9F\x98\x80").toUtf8();
    for (int lead = 60; lead < 76; ++lead) {
        const QByteArray text = QByteArray(lead, 'a') + emoji + emoji + "z";
        const Lines lines = QuotedPrintable::encodeLine(text);
        expectWellFormed(lines);
        EXPECT_EQ(decoded(lines), text + "\r\n");
        for (const QByteArray &line : lines) {
            const QByteArray octets = decoded({line.endsWith('=') ? line : line + "="});
            EXPECT_TRUE(QString::fromUtf8(octets).toUtf8() == octets) << "lead " << lead << ": " << line.constData();
        }
    }
}

TEST(MessageText, PlainAsciiIs7bitInTheCharsetItWasGiven)
{
    const MessageText text({"Hello", "", ".dot"}, "iso-8859-1", {"Subject"});
    EXPECT_EQ(text.charset(), "iso-8859-1");
    EXPECT_EQ(text.encoding(false), TransferEncoding::SevenBit);
    EXPECT_EQ(text.encoding(true), TransferEncoding::SevenBit);
    const MessageText::Encoded encoded = text.encoded(TransferEncoding::SevenBit);
    EXPECT_EQ(encoded.lines, (Lines{"Hello", "", ".dot"}));
    EXPECT_EQ(encoded.octets, 7 + 2 + 6);
}

TEST(MessageText, TheCharsetIsKeptOnlyWhereItHoldsTheWholeText)
{
    EXPECT_EQ(MessageText({QString::fromUtf8("Grüße")}, "iso-8859-1").charset(), "iso-8859-1");
    EXPECT_EQ(MessageText({QString::fromUtf8("5 €")}, "iso-8859-1").charset(), "utf-8");
    EXPECT_EQ(MessageText({"plain"}, "iso-8859-1", {QString::fromUtf8("Prüfung 😀")}).charset(), "utf-8")
        << "the subject counts too";
    EXPECT_EQ(MessageText({"plain"}, "no-such-charset").charset(), "utf-8");
}

TEST(MessageText, EightBitTextIs8bitWhereTheServerTakesItElseQuotedPrintable)
{
    const MessageText text({QString::fromUtf8("Grüße — “quoted” € 日本 😀")}, "iso-8859-1");
    ASSERT_EQ(text.charset(), "utf-8");
    EXPECT_EQ(text.encoding(true), TransferEncoding::EightBit);
    EXPECT_EQ(text.encoding(false), TransferEncoding::QuotedPrintable);
    const MessageText::Encoded eight = text.encoded(TransferEncoding::EightBit);
    EXPECT_EQ(eight.lines, Lines{QString::fromUtf8("Grüße — “quoted” € 日本 😀").toUtf8()});
    const MessageText::Encoded qp = text.encoded(TransferEncoding::QuotedPrintable);
    EXPECT_EQ(qp.lines.first().left(12), "Gr=C3=BC=C3=");
    EXPECT_EQ(decoded(qp.lines), QString::fromUtf8("Grüße — “quoted” € 日本 😀\r\n").toUtf8());
    qint64 octets = 0;
    for (const QByteArray &line : qp.lines)
        octets += line.size() + 2;
    EXPECT_EQ(qp.octets, octets);

    const MessageText latin1({QString::fromUtf8("Grüße")}, "iso-8859-1");
    EXPECT_EQ(latin1.encoded(TransferEncoding::QuotedPrintable).lines, Lines{"Gr=FC=DFe"});
    EXPECT_EQ(latin1.encoded(TransferEncoding::EightBit).octets, 5 + 2) << "octets of the charset, not of UTF-8";
}

TEST(MessageText, ALineOver998OctetsGoesQuotedPrintableAnd998Stays)
{
    const MessageText exact({QString(998, u'a')}, "iso-8859-1");
    EXPECT_EQ(exact.encoding(false), TransferEncoding::SevenBit);
    const MessageText over({QString(999, u'a')}, "iso-8859-1");
    EXPECT_EQ(over.encoding(true), TransferEncoding::QuotedPrintable);
    const Lines lines = over.encoded(TransferEncoding::QuotedPrintable).lines;
    expectWellFormed(lines);
    EXPECT_EQ(decoded(lines), QByteArray(999, 'a') + "\r\n");
    // 500 letters of two octets each in UTF-8: 1000 octets.
    const MessageText wide({QString(500, QChar(0x0142))}, "utf-8");
    EXPECT_EQ(wide.encoding(true), TransferEncoding::QuotedPrintable);
    EXPECT_EQ(MessageText({QString(499, QChar(0x0142))}, "utf-8").encoding(true), TransferEncoding::EightBit);
}

TEST(MessageText, LineBreaksWithinALineBecomeBlanks)
{
    const MessageText text({"a\r\nb"}, "iso-8859-1");
    EXPECT_EQ(text.encoded(TransferEncoding::SevenBit).lines, Lines{"a  b"});
}

TEST(MimeParameter, PlainAsciiIsQuoted)
{
    EXPECT_EQ(MimeParameter::lines("filename", "notes.txt"), QStringList{"\tfilename=\"notes.txt\""});
    EXPECT_EQ(MimeParameter::lines("name", "say \"hi\".txt"), QStringList{"\tname=\"say \\\"hi\\\".txt\""});
}

TEST(MimeParameter, OtherLettersGoAsUtf8PercentEncoded)
{
    EXPECT_EQ(MimeParameter::lines("filename", QString::fromUtf8("Příloha €.txt")),
              QStringList{"\tfilename*=utf-8''P%C5%99%C3%ADloha%20%E2%82%AC.txt"});
    EXPECT_EQ(MimeParameter::asciiFallback(QString::fromUtf8("Příloha €.txt")), "Priloha _.txt");
    EXPECT_EQ(MimeParameter::asciiFallback(QString::fromUtf8("Łukasz 😀 日本")), "_ukasz _ __");
}

TEST(MimeParameter, LongValuesAreSplitIntoSectionsBetweenCharacters)
{
    const QString name = QString::fromUtf8("Příloha 😀 ").repeated(12) + ".txt";
    const QStringList lines = MimeParameter::lines("filename", name);
    ASSERT_GT(lines.size(), 3);
    QByteArray joined;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString prefix = QStringLiteral("\tfilename*%1*=").arg(i);
        ASSERT_TRUE(lines.at(i).startsWith(prefix)) << lines.at(i).toStdString();
        EXPECT_LE(lines.at(i).size(), 76);
        EXPECT_EQ(lines.at(i).endsWith(';'), i + 1 < lines.size());
        QString value = lines.at(i).mid(prefix.size());
        if (value.endsWith(';'))
            value.chop(1);
        const QByteArray octets = QByteArray::fromPercentEncoding(value.toLatin1());
        EXPECT_EQ(QString::fromUtf8(octets).toUtf8(), octets) << "section " << i << " holds whole characters";
        joined += octets;
    }
    EXPECT_TRUE(joined.startsWith("utf-8''"));
    EXPECT_EQ(QString::fromUtf8(joined.mid(7)), name);
}
