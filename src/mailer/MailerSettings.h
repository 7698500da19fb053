#pragma once

#include <QString>

// The mailer's settings as the main window holds them, read from CORVAN.INI.
// The texts "Enter SMTP Server" and the like are placeholders that count as
// values: only a key present with an empty value stops a send, except for the
// address, which a send refuses unless it holds one ("Enter your Email
// address" does not).
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

    // What the network settings dialog shows for keys the file lacks: empty
    // texts where the user has to type something, the service name for the port.
    static TMailerSettings DialogDefaults();

    // Reads every key, each with the main program's default.
    void LoadSettings(const QString &iniFileName);
    // Reads every key, each with the value of defaults where it is missing.
    void ReadSettings(const QString &iniFileName, const TMailerSettings &defaults);
    // Writes every key in the file's order, texts as they stand (empty ones
    // too) and flags as "1" or "0". Each key replaces the file on its own; the
    // first that cannot be written throws EIniFileException and the keys after
    // it are left as they were.
    void WriteSettings(const QString &iniFileName) const;
};
