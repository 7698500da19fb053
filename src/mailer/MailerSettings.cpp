#include "MailerSettings.h"

#include "ProfileIni.h"

void TMailerSettings::LoadSettings(const QString &iniFileName)
{
    const ProfileIni ini(iniFileName);
    const TMailerSettings defaults;
    FSmtpServer = ini.readString("SMTP", "SERVER", defaults.FSmtpServer);
    FSmtpPort = ini.readString("SMTP", "PORT", defaults.FSmtpPort);
    FUserName = ini.readString("PERSONAL", "NAME", defaults.FUserName);
    FUserEmail = ini.readString("PERSONAL", "EMAIL", defaults.FUserEmail);
    FDialModem = ini.readBool("DIALUP", "MODEM", defaults.FDialModem);
    FDialAutoConnect = ini.readBool("DIALUP", "AUTOC", defaults.FDialAutoConnect);
    FDialDisconnect = ini.readBool("DIALUP", "DISCO", defaults.FDialDisconnect);
    FDialDevice = ini.readString("DIALUP", "DEVICE", defaults.FDialDevice);
    FDialLan = ini.readBool("DIALUP", "LAN", defaults.FDialLan);
}
