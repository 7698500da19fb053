#include "platform/ProfileIni.h"

#include "support/TempProgramFolder.h"
#include "support/UnreadableFile.h"

#include <gtest/gtest.h>

namespace {

class ProfileIniTest : public ::testing::Test
{
protected:
    TempProgramFolder folder;
    ProfileIni ini{folder.file(QStringLiteral("CORVAN.INI"))};
};

TEST_F(ProfileIniTest, MissingFileGivesEveryDefault)
{
    EXPECT_EQ(ini.readString("SMTP", "SERVER", "Enter SMTP Server"), "Enter SMTP Server");
    EXPECT_EQ(ini.readInteger("DATABAS", "VERSION", 0), 0);
    EXPECT_TRUE(ini.readBool("DIALUP", "LAN", true));
    EXPECT_FALSE(QFile::exists(ini.fileName()));
}

TEST_F(ProfileIniTest, ReadsValuesWithoutRegardToCaseAndTrimmed)
{
    folder.writeFile("CORVAN.INI", "; settings\r\n[smtp]\r\nServer =  mail.example.org  \r\nPORT=\r\n"
                                   "[DIALUP]\nLAN=0x10\nMODEM=yes\nDISCO=0\nAUTOC=-3\n");
    EXPECT_EQ(ini.readString("SMTP", "SERVER", "x"), "mail.example.org");
    EXPECT_EQ(ini.readString("SMTP", "PORT", "25"), "") << "a present empty value is not the default";
    EXPECT_TRUE(ini.readBool("DIALUP", "LAN", false)) << "0x10 is hexadecimal 16";
    EXPECT_EQ(ini.readInteger("dialup", "lan", 0), 16);
    EXPECT_TRUE(ini.readBool("DIALUP", "MODEM", true)) << "a word gives the default";
    EXPECT_FALSE(ini.readBool("DIALUP", "MODEM", false));
    EXPECT_FALSE(ini.readBool("DIALUP", "DISCO", true));
    EXPECT_EQ(ini.readInteger("DIALUP", "AUTOC", 0), -3);
    EXPECT_EQ(ini.readString("SMTP", "LAN", "none"), "none") << "keys belong to their own section";
}

TEST_F(ProfileIniTest, ValueIsReadUpTo1023Characters)
{
    folder.writeFile("CORVAN.INI", "[PERSONAL]\nNAME=" + QByteArray(1500, 'n') + "\n");
    EXPECT_EQ(ini.readString("PERSONAL", "NAME", "").size(), 1023);
}

TEST_F(ProfileIniTest, WritingKeepsEveryOtherLine)
{
    folder.writeFile("CORVAN.INI", "; kept comment\n[SMTP]\nserver=old\n; inside\nPORT=25\n\n[OTHER]\nA=1\n");
    ini.writeString("SMTP", "SERVER", "new.example.org");
    ini.writeString("smtp", "HELO", "me");
    ini.writeBool("DIALUP", "LAN", false);
    EXPECT_EQ(folder.readFile("CORVAN.INI"),
              "; kept comment\r\n[SMTP]\r\nSERVER=new.example.org\r\n; inside\r\nPORT=25\r\nHELO=me\r\n\r\n"
              "[OTHER]\r\nA=1\r\n\r\n[DIALUP]\r\nLAN=0\r\n");
    EXPECT_EQ(ini.readString("SMTP", "SERVER", ""), "new.example.org");
    EXPECT_FALSE(ini.readBool("DIALUP", "LAN", true));
}

TEST_F(ProfileIniTest, FirstWriteCreatesTheFile)
{
    ini.writeInteger("DATABAS", "VERSION", 1);
    EXPECT_EQ(folder.readFile("CORVAN.INI"), "[DATABAS]\r\nVERSION=1\r\n");
}

TEST_F(ProfileIniTest, FailedWriteThrowsAndCreatesNothing)
{
    ProfileIni nowhere(folder.file("missing/folder/CORVAN.INI"));
    EXPECT_THROW(nowhere.writeString("SMTP", "SERVER", "x"), EIniFileException);
    EXPECT_FALSE(QFile::exists(nowhere.fileName()));
}

TEST_F(ProfileIniTest, AFileThatIsThereButCannotBeReadIsNeverReplaced)
{
    const QByteArray settings = "[SMTP]\r\nSERVER=mail.example.org\r\n[PERSONAL]\r\nNAME=Ann\r\n";
    folder.writeFile("CORVAN.INI", settings);
    {
        UnreadableFile unreadable(ini.fileName());
        if (unreadable.readable())
            GTEST_SKIP() << "this process reads files whatever their permissions";
        try {
            ini.writeString("SMTP", "PORT", "587");
            ADD_FAILURE() << "the write went through";
        } catch (const EIniFileException &error) {
            EXPECT_TRUE(error.message().startsWith("Unable to write to " + ini.fileName() + ": the file cannot be read ("))
                << error.message().toStdString();
            EXPECT_TRUE(error.message().contains("would lose the settings it holds"));
        }
        EXPECT_EQ(ini.readString("SMTP", "SERVER", "default"), "default") << "it reads as missing";
    }
    EXPECT_EQ(folder.readFile("CORVAN.INI"), settings) << "every setting is still there";
}

TEST(ProfileIniParse, IntegerForms)
{
    int v = 7;
    EXPECT_TRUE(ProfileIni::parseInteger("0x1F", v));
    EXPECT_EQ(v, 31);
    EXPECT_TRUE(ProfileIni::parseInteger(" 42 ", v));
    EXPECT_EQ(v, 42);
    v = 7;
    EXPECT_FALSE(ProfileIni::parseInteger("", v));
    EXPECT_FALSE(ProfileIni::parseInteger("12abc", v));
    EXPECT_FALSE(ProfileIni::parseInteger("0x", v));
    EXPECT_EQ(v, 7);
}

}
