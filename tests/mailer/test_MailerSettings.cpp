#include "MailerSettings.h"
#include "TempProgramFolder.h"

#include <gtest/gtest.h>

namespace {

TEST(MailerSettings, NoFileGivesTheMainProgramDefaults)
{
    TempProgramFolder folder;
    TMailerSettings s;
    s.FSmtpServer = "stale";
    s.LoadSettings(folder.file("CORVAN.INI"));
    EXPECT_EQ(s.FSmtpServer, "Enter SMTP Server");
    EXPECT_EQ(s.FSmtpPort, "25");
    EXPECT_EQ(s.FUserName, "Enter your name");
    EXPECT_EQ(s.FUserEmail, "Enter your Email address");
    EXPECT_EQ(s.FDialDevice, "None");
    EXPECT_TRUE(s.FDialLan);
    EXPECT_FALSE(s.FDialModem || s.FDialAutoConnect || s.FDialDisconnect);
}

TEST(MailerSettings, PresentKeysWinAndEmptyValuesStayEmpty)
{
    TempProgramFolder folder;
    folder.writeFile("CORVAN.INI", "[SMTP]\r\nSERVER=\r\nPORT=2525\r\n[PERSONAL]\r\nNAME=Ann\r\nEMAIL=ann@x.org\r\n"
                                   "[DIALUP]\r\nMODEM=1\r\nAUTOC=0x10\r\nDISCO=yes\r\nDEVICE=Office\r\nLAN=0\r\n");
    TMailerSettings s;
    s.LoadSettings(folder.file("CORVAN.INI"));
    EXPECT_EQ(s.FSmtpServer, "");
    EXPECT_EQ(s.FSmtpPort, "2525");
    EXPECT_EQ(s.FUserName, "Ann");
    EXPECT_EQ(s.FUserEmail, "ann@x.org");
    EXPECT_TRUE(s.FDialModem);
    EXPECT_TRUE(s.FDialAutoConnect);
    EXPECT_FALSE(s.FDialDisconnect) << "a word reads as the default";
    EXPECT_EQ(s.FDialDevice, "Office");
    EXPECT_FALSE(s.FDialLan);
}

}
