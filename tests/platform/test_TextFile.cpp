#include "platform/TextFile.h"

#include "support/FailingDevice.h"
#include "support/TempProgramFolder.h"

#include <QBuffer>

#include <gtest/gtest.h>

namespace {

TEST(TextFile, ReadsCrLfAndLfAndWindows1252)
{
    TempProgramFolder folder;
    folder.writeFile("a.txt", "first\r\nsecond\nthird");
    folder.writeFile("b.txt", "G\xF6teborg \x80 \x93quoted\x94\r\n");
    folder.writeFile("c.txt", "\xEF\xBB\xBFG\xC3\xB6teborg\r\n\r\n");
    QStringList lines;
    ASSERT_TRUE(TextFile::readLines(folder.file("a.txt"), lines));
    EXPECT_EQ(lines, QStringList({"first", "second", "third"}));
    ASSERT_TRUE(TextFile::readLines(folder.file("b.txt"), lines));
    EXPECT_EQ(lines, QStringList({QString::fromUtf8("G\xC3\xB6teborg \xE2\x82\xAC \xE2\x80\x9Cquoted\xE2\x80\x9D")}));
    ASSERT_TRUE(TextFile::readLines(folder.file("c.txt"), lines));
    EXPECT_EQ(lines, QStringList({QString::fromUtf8("G\xC3\xB6teborg"), QString()}));
}

TEST(TextFile, WritesUtf8WithCrLfAndReportsFailure)
{
    TempProgramFolder folder;
    ASSERT_TRUE(TextFile::writeLines(folder.file("out.txt"), {QString::fromUtf8("\xC3\xA5"), ""}));
    EXPECT_EQ(folder.readFile("out.txt"), "\xC3\xA5\r\n\r\n");

    QString error;
    EXPECT_FALSE(TextFile::writeLines(folder.file("no/such/dir/out.txt"), {"x"}, &error));
    EXPECT_FALSE(error.isEmpty());
    QStringList lines{"kept"};
    EXPECT_FALSE(TextFile::readLines(folder.file("absent.txt"), lines, &error));
    EXPECT_EQ(lines, QStringList{"kept"});
}


QStringList decodedLines(const QByteArray &content, TextFile::Survey &survey)
{
    QBuffer counting;
    counting.setData(content);
    counting.open(QIODevice::ReadOnly);
    EXPECT_TRUE(TextFile::survey(counting, survey));
    QBuffer reading;
    reading.setData(content);
    reading.open(QIODevice::ReadOnly);
    TextFile::LineDecoder decoder(reading, survey);
    QStringList lines;
    QString line;
    while (decoder.next(line))
        lines.append(line);
    EXPECT_FALSE(decoder.failed());
    return lines;
}

TEST(TextFile, StreamsLinesAsReadLinesSplitsThem)
{
    TextFile::Survey survey;
    EXPECT_EQ(decodedLines("first\r\nsecond\nthird", survey), QStringList({"first", "second", "third"}));
    EXPECT_EQ(survey.lines, 3);
    EXPECT_EQ(decodedLines("one\r\n\r\n", survey), QStringList({"one", ""}));
    EXPECT_EQ(survey.lines, 2) << "a final line end adds no line";
    EXPECT_TRUE(decodedLines("", survey).isEmpty());
    EXPECT_EQ(survey.lines, 0);

    // Lines longer than one read, and a CR LF split between two reads.
    const QByteArray longLine(200000, 'x');
    const QByteArray crAtChunkEnd = QByteArray(64 * 1024 - 1, 'y') + "\r\nz";
    EXPECT_EQ(decodedLines(longLine + "\n" + longLine, survey), QStringList({longLine, longLine}));
    EXPECT_EQ(decodedLines(crAtChunkEnd, survey), QStringList({QString(64 * 1024 - 1, u'y'), "z"}));
}

TEST(TextFile, ALoneCrEndsAStreamedLineAndNulIsKept)
{
    TextFile::Survey survey;
    EXPECT_EQ(decodedLines("one\rtwo\r\rthree\r", survey), QStringList({"one", "two", "", "three"}));
    EXPECT_EQ(survey.lines, 4);
    EXPECT_EQ(decodedLines("a\r\n\nb\n\rc", survey), QStringList({"a", "", "b", "", "c"}));
    // A CR that ends one read and the LF or text that begins the next.
    const QByteArray y(64 * 1024 - 1, 'y');
    EXPECT_EQ(decodedLines(y + "\r\nz", survey), QStringList({QString::fromLatin1(y), "z"}));
    EXPECT_EQ(decodedLines(y + "\rz", survey), QStringList({QString::fromLatin1(y), "z"}));
    EXPECT_EQ(decodedLines(y + "\r", survey), QStringList({QString::fromLatin1(y)}));
    EXPECT_EQ(decodedLines(QByteArray("a\0b", 3), survey), QStringList({QString("a") + QChar(0) + "b"}))
        << "what a NUL means is the reader's to say";
}

TEST(TextFile, StreamedFileIsUtf8WithoutItsMarkOrWholeWindows1252)
{
    TextFile::Survey survey;
    EXPECT_EQ(decodedLines("\xEF\xBB\xBFG\xC3\xB6teborg\n\xEF\xBB\xBFx", survey),
              QStringList({QString::fromUtf8("G\xC3\xB6teborg"), QString::fromUtf8("\xEF\xBB\xBFx")}))
        << "only the mark before the first line is skipped";
    EXPECT_TRUE(survey.utf8);
    // One byte that is no UTF-8, late in the file, decides for every line.
    EXPECT_EQ(decodedLines("\xC3\xB6\n\x80 \x93q\x94", survey),
              QStringList({QString::fromUtf8("\xC3\x83\xC2\xB6"), QString::fromUtf8("\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D")}));
    EXPECT_FALSE(survey.utf8);
}

TEST(TextFile, ReadingThatBreaksOffIsAFailureNotAnEnd)
{
    FailingDevice device("one\ntwo\nthree\n", 6);
    device.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    TextFile::LineDecoder decoder(device, TextFile::Survey());
    QString line;
    ASSERT_TRUE(decoder.next(line));
    EXPECT_EQ(line, "one");
    EXPECT_FALSE(decoder.next(line)) << "the broken-off \"tw\" is no line";
    EXPECT_TRUE(decoder.failed());

    FailingDevice counting("one\ntwo\n", 5);
    counting.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    TextFile::Survey survey;
    EXPECT_FALSE(TextFile::survey(counting, survey));
}

}
