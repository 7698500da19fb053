#pragma once

#include <QString>

// The mailer's settings as the main window holds them, read from CORVAN.INI.
// The texts "Enter SMTP Server" and the like are placeholders that count as
// values: only a key present with an empty value stops a send.
struct TMailerSettings
{
    QString FSmtpServer = QStringLiteral("Enter SMTP Server");
    QString FSmtpPort = QStringLiteral("25");
    QString FUserName = QStringLiteral("Enter your name");
    QString FUserEmail = QStringLiteral("Enter your Email address");
    bool FDialModem = false;
    bool FDialAutoConnect = false;
    bool FDialDisconnect = false;
    QString FDialDevice = QStringLiteral("None");
    bool FDialLan = true;

    // Reads every key, each with the main program's default.
    void LoadSettings(const QString &iniFileName);
};
