#include "platform/TextFile.h"

#include "support/TempProgramFolder.h"

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

}
