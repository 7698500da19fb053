#include "send/MessageFile.h"

#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

TMessageFile sampleMessage()
{
    TMessageFile message;
    message.Text = {"Dear members,", "", QString::fromUtf8("V\xC3\xA4lkomna till m\xC3\xB6tet.")};
    message.Group = "Club";
    message.Signature = "GREETING";
    message.Attachments = {"/home/u/agenda.pdf", "/home/u/map.png"};
    message.Subject = "Meeting";
    return message;
}

TEST(MessageFile, WritesTheLinesOfTheFormatWithCrLf)
{
    TempProgramFolder folder;
    ASSERT_TRUE(sampleMessage().Save(folder.file("m.MSG")));
    EXPECT_EQ(folder.readFile("m.MSG"),
              "Dear members,\r\n\r\nV\xC3\xA4lkomna till m\xC3\xB6tet.\r\n<END OF MESSAGE>\r\nClub\r\nGREETING\r\n"
              "/home/u/agenda.pdf;/home/u/map.png;\r\nMeeting\r\n");
}

TEST(MessageFile, ReadsBackWhatItWrote)
{
    TempProgramFolder folder;
    const TMessageFile written = sampleMessage();
    ASSERT_TRUE(written.Save(folder.file("m.MSG")));
    TMessageFile read;
    ASSERT_TRUE(read.Load(folder.file("m.MSG")));
    EXPECT_EQ(read.Text, written.Text);
    EXPECT_EQ(read.Group, written.Group);
    EXPECT_EQ(read.Signature, written.Signature);
    EXPECT_EQ(read.Attachments, written.Attachments);
    EXPECT_EQ(read.Subject, written.Subject);
}

TEST(MessageFile, EmptyMessageWithoutAttachmentsHasOnlyTheFieldLines)
{
    TempProgramFolder folder;
    TMessageFile message;
    message.Signature = "None";
    ASSERT_TRUE(message.Save(folder.file("e.MSG")));
    EXPECT_EQ(folder.readFile("e.MSG"), "<END OF MESSAGE>\r\n\r\nNone\r\n\r\n\r\n");
    TMessageFile read;
    read.Attachments = {"stale"};
    ASSERT_TRUE(read.Load(folder.file("e.MSG")));
    EXPECT_TRUE(read.Text.isEmpty());
    EXPECT_TRUE(read.Attachments.isEmpty()) << "an empty attachments line holds no entry";
    EXPECT_EQ(read.Signature, "None");
    EXPECT_EQ(read.Subject, "");
}

TEST(MessageFile, AttachmentsLineKeepsOnlyEntriesEndedBySemicolon)
{
    EXPECT_EQ(TMessageFile::AttachmentsToLine({}), "");
    EXPECT_EQ(TMessageFile::AttachmentsToLine({"a", "b"}), "a;b;");
    EXPECT_EQ(TMessageFile::LineToAttachments("a;b;"), QStringList({"a", "b"}));
    EXPECT_EQ(TMessageFile::LineToAttachments("a;b"), QStringList({"a"})) << "text after the last ';' is dropped";
    EXPECT_EQ(TMessageFile::LineToAttachments("b"), QStringList());
    EXPECT_EQ(TMessageFile::LineToAttachments(";;"), QStringList({"", ""}));
}

TEST(MessageFile, LongPathsRoundTripWhole)
{
    TempProgramFolder folder;
    TMessageFile message;
    const QString deep = "/data/" + QString(300, u'x') + "/" + QString(280, u'y') + ".pdf";
    const QString second = "/other/" + QString(700, u'z');
    message.Attachments = {deep, second, "/short"};
    ASSERT_TRUE(message.Save(folder.file("long.MSG")));
    TMessageFile read;
    ASSERT_TRUE(read.Load(folder.file("long.MSG")));
    EXPECT_EQ(read.Attachments, message.Attachments);
}

// Such a line would end the text early when read, shifting every field
// after it: saving refuses it and keeps an earlier file. A file made by hand
// with one still reads as every reader of message files reads it.
TEST(MessageFile, ATextLineEqualToTheMarkerIsRefusedAndKeepsTheEarlierFile)
{
    TempProgramFolder folder;
    TMessageFile message = sampleMessage();
    ASSERT_TRUE(message.Save(folder.file("s.MSG")));
    const QByteArray earlier = folder.readFile("s.MSG");
    message.Text = {"before", "<END OF MESSAGE>", "after"};
    QString error;
    EXPECT_FALSE(message.Save(folder.file("s.MSG"), &error));
    EXPECT_EQ(error, "Cannot save message file \"" + folder.file("s.MSG")
                         + "\": a line of the text reads \"<END OF MESSAGE>\", which ends the text of a message "
                           "file; change that line and save again");
    EXPECT_EQ(folder.readFile("s.MSG"), earlier);
    message.Text = {"before", " <END OF MESSAGE>", "<end of message>", "after"};
    EXPECT_TRUE(message.Save(folder.file("s.MSG"))) << "only the exact marker ends the text";

    folder.writeFile("hand.MSG", "before\r\n<END OF MESSAGE>\r\nafter\r\n<END OF MESSAGE>\r\nClub\r\nGREETING\r\n"
                                 "/home/u/agenda.pdf;\r\nMeeting\r\n");
    TMessageFile read;
    ASSERT_TRUE(read.Load(folder.file("hand.MSG")));
    EXPECT_EQ(read.Text, QStringList{"before"});
    EXPECT_EQ(read.Group, "after");
    EXPECT_EQ(read.Signature, "<END OF MESSAGE>");
    EXPECT_EQ(read.Attachments, QStringList()) << "the group name has no ';'";
    EXPECT_EQ(read.Subject, "GREETING");
}

TEST(MessageFile, MarkerIsMatchedExactly)
{
    TempProgramFolder folder;
    folder.writeFile("c.MSG", "<end of message>\n <END OF MESSAGE>\n<END OF MESSAGE>\ng\nNone\n\nsubj\n");
    TMessageFile read;
    ASSERT_TRUE(read.Load(folder.file("c.MSG")));
    EXPECT_EQ(read.Text, QStringList({"<end of message>", " <END OF MESSAGE>"}));
    EXPECT_EQ(read.Subject, "subj");
}

TEST(MessageFile, MissingOrTruncatedFilesFailAndChangeNothing)
{
    TempProgramFolder folder;
    folder.writeFile("nomarker.MSG", "just\r\ntext\r\n");
    folder.writeFile("cut.MSG", "text\r\n<END OF MESSAGE>\r\nClub\r\nNone\r\n");
    folder.writeFile("empty.MSG", "");
    for (const char *name : {"absent.MSG", "nomarker.MSG", "cut.MSG", "empty.MSG"}) {
        TMessageFile message = sampleMessage();
        QString error;
        EXPECT_FALSE(message.Load(folder.file(name), &error)) << name;
        EXPECT_TRUE(error.contains(folder.file(name))) << "the error names the file: " << error.toStdString();
        EXPECT_EQ(message.Text, sampleMessage().Text) << name;
        EXPECT_EQ(message.Attachments, sampleMessage().Attachments) << name;
    }
}

TEST(MessageFile, ReadsFilesOfTheOriginalPlatform)
{
    TempProgramFolder folder;
    folder.writeFile("old.MSG", "G\xF6teborg\r\n<END OF MESSAGE>\r\nKlubb\r\nNone\r\nC:\\a.txt;\r\n\xC5r\r\n");
    TMessageFile read;
    ASSERT_TRUE(read.Load(folder.file("old.MSG")));
    EXPECT_EQ(read.Text, QStringList{QString::fromUtf8("G\xC3\xB6teborg")});
    EXPECT_EQ(read.Attachments, QStringList{"C:\\a.txt"});
    EXPECT_EQ(read.Subject, QString::fromUtf8("\xC3\x85r"));
}

TEST(MessageFile, RefusesFieldsThatWouldNotReadBackAndKeepsTheEarlierFile)
{
    TempProgramFolder folder;
    ASSERT_TRUE(sampleMessage().Save(folder.file("k.MSG")));
    const QByteArray earlier = folder.readFile("k.MSG");

    TMessageFile semicolon = sampleMessage();
    semicolon.Attachments = {"/tmp/a;b.txt"};
    TMessageFile broken = sampleMessage();
    broken.Subject = "two\nlines";
    for (const TMessageFile &message : {semicolon, broken}) {
        QString error;
        EXPECT_FALSE(message.Save(folder.file("k.MSG"), &error));
        EXPECT_TRUE(error.contains(folder.file("k.MSG"))) << error.toStdString();
        EXPECT_EQ(folder.readFile("k.MSG"), earlier);
    }
    EXPECT_FALSE(TMessageFile::canStoreAttachment("/tmp/a;b"));
    EXPECT_FALSE(TMessageFile::canStoreAttachment("/tmp/a\nb"));
    EXPECT_TRUE(TMessageFile::canStoreAttachment("/tmp/a b,c"));
}

TEST(MessageFile, WriteIntoAMissingFolderFails)
{
    TempProgramFolder folder;
    QString error;
    EXPECT_FALSE(sampleMessage().Save(folder.file("no/such/folder/x.MSG"), &error));
    EXPECT_TRUE(error.startsWith("Cannot save message file")) << error.toStdString();
}

}
