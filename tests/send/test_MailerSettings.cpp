#include "send/MailerSettings.h"
#include "platform/ProfileIni.h"
#include "support/TempProgramFolder.h"

#include <QFile>
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
    EXPECT_FALSE(s.SendLimit().Active()) << "no limit, as before there was one";
}

TEST(MailerSettings, TheSendingLimitHoldsOnlyWithBothNumbers)
{
    const struct
    {
        const char *keys;
        int count;
        int minutes;
        bool active;
    } cases[] = {
        {"RATECOUNT=5\r\nRATEMINUTES=1\r\n", 5, 1, true},
        {"RATECOUNT=10000\r\nRATEMINUTES=1440\r\n", 10000, 1440, true},
        {"RATECOUNT=5\r\n", 5, 0, false},
        {"RATEMINUTES=1\r\n", 0, 1, false},
        {"RATECOUNT=0\r\nRATEMINUTES=1\r\n", 0, 1, false},
        {"RATECOUNT=many\r\nRATEMINUTES=1\r\n", 0, 1, false},
        {"RATECOUNT=-3\r\nRATEMINUTES=1\r\n", -3, 1, false},
    };
    for (const auto &c : cases) {
        TempProgramFolder folder;
        folder.writeFile("CORVAN.INI", QByteArray("[SMTP]\r\n") + c.keys);
        TMailerSettings s;
        s.LoadSettings(folder.file("CORVAN.INI"));
        EXPECT_EQ(s.FRateCount, c.count) << c.keys;
        EXPECT_EQ(s.FRateMinutes, c.minutes) << c.keys;
        EXPECT_EQ(s.SendLimit().Active(), c.active) << c.keys;
    }
}

// Older files have no such key: they pipeline where the server offers it.
TEST(MailerSettings, PipeliningIsOnUnlessTheFileTurnsItOff)
{
    const struct
    {
        const char *keys;
        bool on;
    } cases[] = {{"", true}, {"PIPELINING=1\r\n", true}, {"PIPELINING=0\r\n", false}};
    for (const auto &c : cases) {
        TempProgramFolder folder;
        folder.writeFile("CORVAN.INI", QByteArray("[SMTP]\r\nSERVER=mail\r\n") + c.keys);
        TMailerSettings s;
        s.LoadSettings(folder.file("CORVAN.INI"));
        EXPECT_EQ(s.FPipelining, c.on) << c.keys;
        s.WriteSettings(folder.file("CORVAN.INI"));
        TMailerSettings again;
        again.ReadSettings(folder.file("CORVAN.INI"), TMailerSettings::AgentDefaults());
        EXPECT_EQ(again.FPipelining, c.on) << "the agent reads what the mailer wrote: " << c.keys;
    }
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

TEST(MailerSettings, SecurityIsNoneUnlessTheFileNamesAKnownKind)
{
    TempProgramFolder folder;
    TMailerSettings s;
    s.LoadSettings(folder.file("CORVAN.INI"));
    EXPECT_EQ(s.SmtpSecurity(), TSmtpSecurity::None) << "missing: as before";
    EXPECT_EQ(s.FSmtpUser, "") << "no login";
    const QList<std::pair<QString, std::optional<TSmtpSecurity>>> values{
        {"", TSmtpSecurity::None},        {"none", TSmtpSecurity::None}, {" STARTTLS ", TSmtpSecurity::StartTls},
        {"starttls", TSmtpSecurity::StartTls}, {"SSL", TSmtpSecurity::Ssl}, {"TLS", std::nullopt},
        {"SSL/TLS", std::nullopt}};
    for (const auto &[text, security] : values) {
        s.FSmtpSecurity = text;
        EXPECT_EQ(s.SmtpSecurity(), security) << text.toStdString();
    }
    s.FSmtpSecurity = TMailerSettings::SecurityText(TSmtpSecurity::Ssl);
    s.FSmtpUser = "ann";
    s.WriteSettings(folder.file("CORVAN.INI"));
    TMailerSettings read;
    read.LoadSettings(folder.file("CORVAN.INI"));
    EXPECT_EQ(read.SmtpSecurity(), TSmtpSecurity::Ssl);
    EXPECT_EQ(read.FSmtpUser, "ann");
}

TEST(MailerSettings, TheDialogDefaultsLeaveTheUserToTypeTheTexts)
{
    TempProgramFolder folder;
    TMailerSettings s;
    s.ReadSettings(folder.file("CORVAN.INI"), TMailerSettings::DialogDefaults());
    EXPECT_EQ(s.FSmtpServer, "");
    EXPECT_EQ(s.FSmtpPort, "smtp");
    EXPECT_EQ(s.FUserName, "");
    EXPECT_EQ(s.FUserEmail, "");
    EXPECT_EQ(s.FDialDevice, "None");
    EXPECT_TRUE(s.FDialLan);
    EXPECT_FALSE(s.FDialModem || s.FDialAutoConnect || s.FDialDisconnect);
}

TEST(MailerSettings, WrittenSettingsReadBackAndKeepTheOtherLines)
{
    TempProgramFolder folder;
    folder.writeFile("CORVAN.INI", "; kept\r\n[DATABAS]\r\nVERSION=1\r\n[DIALUP]\r\nLAN=1\r\n");
    TMailerSettings s;
    s.FSmtpServer.clear();
    s.FSmtpPort = "587";
    s.FUserName = QString::fromUtf8("Åsa Öberg");
    s.FDialModem = true;
    s.FDialDisconnect = true;
    s.FDialDevice = "Home";
    s.FDialLan = false;
    s.WriteSettings(folder.file("CORVAN.INI"));

    TMailerSettings back;
    back.LoadSettings(folder.file("CORVAN.INI"));
    EXPECT_EQ(back.FSmtpServer, "");
    EXPECT_EQ(back.FSmtpPort, "587");
    EXPECT_EQ(back.FUserName, QString::fromUtf8("Åsa Öberg"));
    EXPECT_EQ(back.FUserEmail, "Enter your Email address") << "a placeholder is written as it stands";
    EXPECT_TRUE(back.FDialModem);
    EXPECT_FALSE(back.FDialAutoConnect);
    EXPECT_TRUE(back.FDialDisconnect);
    EXPECT_EQ(back.FDialDevice, "Home");
    EXPECT_FALSE(back.FDialLan);
    const QByteArray file = folder.readFile("CORVAN.INI");
    EXPECT_TRUE(file.startsWith("; kept\r\n[DATABAS]\r\nVERSION=1\r\n[DIALUP]\r\nLAN=0\r\nMODEM=1\r\n")) << file.toStdString();
}

TEST(MailerSettings, AFileThatCannotBeWrittenThrows)
{
    TempProgramFolder folder;
    const QString nowhere = folder.file("missing/CORVAN.INI");
    EXPECT_THROW(TMailerSettings().WriteSettings(nowhere), EIniFileException);
    EXPECT_FALSE(QFile::exists(nowhere));
}

TEST(MailerSettings, AFileWithoutALoginKindLogsInWithThePassword)
{
    TempProgramFolder folder;
    folder.writeFile("CORVAN.INI", "[SMTP]\r\nSERVER=mail.example.org\r\nUSER=ann\r\n");
    TMailerSettings s;
    s.LoadSettings(folder.file("CORVAN.INI"));
    EXPECT_FALSE(s.UsesOAuth());
    const std::pair<const char *, bool> kinds[] = {{"PASSWORD", false}, {"", false}, {"oauth", false},
                                                   {"OAUTH2 ", true}, {"oauth2", true}};
    for (const auto &[kind, oauth] : kinds) {
        s.FSmtpLogin = kind;
        EXPECT_EQ(s.UsesOAuth(), oauth) << kind;
    }
}

TEST(MailerSettings, APresetIgnoresTheFilesEndpointsAndACustomProviderUsesThem)
{
    TempProgramFolder folder;
    folder.writeFile("CORVAN.INI", "[SMTP]\r\nLOGIN=OAUTH2\r\n[OAUTH]\r\nPROVIDER=microsoft\r\nCLIENTID= app-1 \r\n"
                                   "AUTHURL=https://id.example.org/auth\r\nTOKENURL=https://id.example.org/token\r\n"
                                   "SCOPE=smtp\r\n");
    TMailerSettings s;
    s.LoadSettings(folder.file("CORVAN.INI"));
    ASSERT_TRUE(s.UsesOAuth());
    std::optional<TOAuthProvider> provider = s.OAuthProvider();
    ASSERT_TRUE(provider);
    EXPECT_EQ(provider->kind, TOAuthProvider::Kind::Microsoft);
    EXPECT_EQ(provider->tokenEndpoint, "https://login.microsoftonline.com/common/oauth2/v2.0/token");
    EXPECT_EQ(provider->scope, "https://outlook.office.com/SMTP.Send offline_access");
    EXPECT_EQ(provider->clientId, "app-1");

    s.FOAuthProvider = "GOOGLE";
    EXPECT_EQ(s.OAuthProvider()->scope, "https://mail.google.com/");
    EXPECT_EQ(s.OAuthProvider()->authorizationEndpoint, "https://accounts.google.com/o/oauth2/v2/auth");

    s.FOAuthProvider = "Custom";
    provider = s.OAuthProvider();
    EXPECT_EQ(provider->authorizationEndpoint, "https://id.example.org/auth");
    EXPECT_EQ(provider->tokenEndpoint, "https://id.example.org/token");
    EXPECT_EQ(provider->scope, "smtp");
    EXPECT_EQ(provider->DisplayName(), "id.example.org");
    EXPECT_EQ(provider->Incomplete(), "");

    s.FOAuthProvider = "Yahoo";
    EXPECT_FALSE(s.OAuthProvider()) << "an unknown provider is not taken for one of the presets";
}

TEST(MailerSettings, ASignInCannotStartWithoutAClientIdOrUsableEndpoints)
{
    TOAuthProvider provider = TOAuthProvider::Preset(TOAuthProvider::Kind::Google);
    EXPECT_EQ(provider.Incomplete(), "Enter the client ID you registered with Google");
    provider.clientId = "id";
    EXPECT_EQ(provider.Incomplete(), "");
    TOAuthProvider custom = TOAuthProvider::Preset(TOAuthProvider::Kind::Custom);
    custom.clientId = "id";
    custom.authorizationEndpoint = "https://id.example.org/auth";
    for (const char *token :
         {"", "id.example.org/token", "ftp://id.example.org/token", "https://", "http://id.example.org/token"}) {
        custom.tokenEndpoint = token;
        EXPECT_EQ(custom.Incomplete(), "Enter the provider's token endpoint (an https address)") << token;
    }
    custom.tokenEndpoint = "http://127.0.0.1:8080/token";
    EXPECT_EQ(custom.Incomplete(), "") << "a provider on this machine may answer over http";
}

TEST(MailerSettings, OAuthKeysAreWrittenAndReadBack)
{
    TempProgramFolder folder;
    TMailerSettings s;
    s.FSmtpLogin = "OAUTH2";
    s.FOAuthProvider = "CUSTOM";
    s.FOAuthAuthorizationUrl = "https://id.example.org/auth";
    s.FOAuthTokenUrl = "https://id.example.org/token";
    s.FOAuthScope = "smtp offline";
    s.FOAuthClientId = "app-1";
    s.WriteSettings(folder.file("CORVAN.INI"));
    TMailerSettings back;
    back.LoadSettings(folder.file("CORVAN.INI"));
    EXPECT_EQ(back.FSmtpLogin, "OAUTH2");
    EXPECT_EQ(back.FOAuthProvider, "CUSTOM");
    EXPECT_EQ(back.FOAuthAuthorizationUrl, "https://id.example.org/auth");
    EXPECT_EQ(back.FOAuthTokenUrl, "https://id.example.org/token");
    EXPECT_EQ(back.FOAuthScope, "smtp offline");
    EXPECT_EQ(back.FOAuthClientId, "app-1");
    EXPECT_FALSE(folder.readFile("CORVAN.INI").contains("SECRET")) << "the client secret is never in the file";
}

}
