#include "send/SignatureFolder.h"

#include "platform/Exception.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

QStringList filesIn(const TempProgramFolder &folder)
{
    return QDir(folder.file("SIGNATURE")).entryList(QDir::Files, QDir::Name);
}

TEST(SignatureFolder, MissingFolderIsCreatedAndListsNothing)
{
    TempProgramFolder folder;
    TSignatureFolder signatures(folder.path());
    EXPECT_EQ(signatures.scanNames(), QStringList());
    EXPECT_TRUE(QDir(folder.file("SIGNATURE")).exists());
}

TEST(SignatureFolder, FolderThatCannotBeCreatedFailsTheScan)
{
    TempProgramFolder folder;
    folder.writeFile("SIGNATURE", "a file where the folder belongs");
    EXPECT_THROW(TSignatureFolder(folder.path()).scanNames(), Exception);
}

TEST(SignatureFolder, ListsSigFilesOfAnyCaseInUpperCaseSorted)
{
    TempProgramFolder folder;
    for (const char *name : {"Greeting.sig", "best.Wishes.SIG", "alpha.Sig", "notes.txt", "old.sig.bak", "GREETING.SIG"})
        folder.writeFile(QString("SIGNATURE/") + name, "x\r\n");
    EXPECT_EQ(TSignatureFolder(folder.path()).scanNames(), QStringList({"ALPHA", "BEST.WISHES", "GREETING"}));
}

TEST(SignatureFolder, NameFindsItsFileWhateverTheCase)
{
    TempProgramFolder folder;
    folder.writeFile("SIGNATURE/Greeting.sig", "Regards\r\nAnna\r\n");
    TSignatureFolder signatures(folder.path());
    QStringList lines;
    ASSERT_TRUE(signatures.read("GREETING", lines));
    EXPECT_EQ(lines, QStringList({"Regards", "Anna"}));

    ASSERT_TRUE(signatures.write("GREETING", {"Cheers"}));
    EXPECT_EQ(filesIn(folder), QStringList{"Greeting.sig"}) << "the same file is replaced, no second one";
    EXPECT_EQ(folder.readFile("SIGNATURE/Greeting.sig"), "Cheers\r\n");
}

TEST(SignatureFolder, NewSignatureIsWrittenAsNameDotSig)
{
    TempProgramFolder folder;
    TSignatureFolder signatures(folder.path());
    ASSERT_TRUE(signatures.write("Regards", {"Kind regards", "", "Bo"}));
    EXPECT_EQ(filesIn(folder), QStringList{"Regards.SIG"});
    EXPECT_EQ(folder.readFile("SIGNATURE/Regards.SIG"), "Kind regards\r\n\r\nBo\r\n");
    EXPECT_EQ(signatures.scanNames(), QStringList{"REGARDS"});
}

TEST(SignatureFolder, RenameWritesTheNewFileAndRemovesTheOld)
{
    TempProgramFolder folder;
    folder.writeFile("SIGNATURE/Greeting.sig", "old\r\n");
    TSignatureFolder signatures(folder.path());
    ASSERT_TRUE(signatures.rename("GREETING", "Regards", {"new"}));
    EXPECT_EQ(filesIn(folder), QStringList{"Regards.SIG"});
    EXPECT_EQ(signatures.scanNames(), QStringList{"REGARDS"});

    ASSERT_TRUE(signatures.rename("REGARDS", "regards", {"same file"}));
    EXPECT_EQ(filesIn(folder), QStringList{"Regards.SIG"}) << "a change of case only keeps the file";
    EXPECT_EQ(folder.readFile("SIGNATURE/Regards.SIG"), "same file\r\n");
}

TEST(SignatureFolder, RenameOntoAnotherSignatureReplacesIt)
{
    TempProgramFolder folder;
    folder.writeFile("SIGNATURE/A.SIG", "a\r\n");
    folder.writeFile("SIGNATURE/b.sig", "b\r\n");
    TSignatureFolder signatures(folder.path());
    ASSERT_TRUE(signatures.rename("A", "B", {"from a"}));
    EXPECT_EQ(filesIn(folder), QStringList{"b.sig"});
    EXPECT_EQ(folder.readFile("SIGNATURE/b.sig"), "from a\r\n");
}

TEST(SignatureFolder, FailedRenameKeepsTheOldSignature)
{
    TempProgramFolder folder;
    folder.writeFile("SIGNATURE/Greeting.sig", "old\r\n");
    TSignatureFolder signatures(folder.path());
    QString error;
    EXPECT_FALSE(signatures.rename("GREETING", "../outside", {"new"}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(filesIn(folder), QStringList{"Greeting.sig"});
    EXPECT_EQ(folder.readFile("SIGNATURE/Greeting.sig"), "old\r\n");
    EXPECT_FALSE(QFile::exists(folder.file("outside.SIG")));
    EXPECT_FALSE(signatures.write("", {"x"}));
    EXPECT_EQ(filesIn(folder), QStringList{"Greeting.sig"});
}

TEST(SignatureFolder, DottedNameIsReadWrittenAndRemoved)
{
    TempProgramFolder folder;
    folder.writeFile("SIGNATURE/Best.Wishes.SIG", "Best wishes\r\n");
    TSignatureFolder signatures(folder.path());
    ASSERT_EQ(signatures.scanNames(), QStringList{"BEST.WISHES"});
    QStringList lines;
    ASSERT_TRUE(signatures.read("BEST.WISHES", lines));
    EXPECT_EQ(lines, QStringList{"Best wishes"});
    ASSERT_TRUE(signatures.write("BEST.WISHES", {"All the best"}));
    EXPECT_EQ(filesIn(folder), QStringList{"Best.Wishes.SIG"});
    ASSERT_TRUE(signatures.remove("BEST.WISHES"));
    EXPECT_TRUE(filesIn(folder).isEmpty());
}

TEST(SignatureFolder, ReadingAMissingSignatureReportsTheFile)
{
    TempProgramFolder folder;
    TSignatureFolder signatures(folder.path());
    QStringList lines{"kept"};
    QString error;
    EXPECT_FALSE(signatures.read("GONE", lines, &error));
    EXPECT_TRUE(error.contains("GONE.SIG")) << error.toStdString();
    EXPECT_TRUE(signatures.remove("GONE")) << "a file that is already gone counts as removed";
}

TEST(SignatureFolder, ANulByteInASignatureKeepsTheRestOfItsLine)
{
    TempProgramFolder folder;
    folder.writeFile("SIGNATURE/Nul.sig", QByteArray("Ann\0 Sender\r\n\0second\r\n", 22));
    QStringList lines;
    ASSERT_TRUE(TSignatureFolder(folder.path()).read("NUL", lines));
    EXPECT_EQ(lines, QStringList({"Ann Sender", "second"}));
}

}
