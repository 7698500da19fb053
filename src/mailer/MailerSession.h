#pragma once

#include "connection/DialUpBackend.h"
#include "send/DraftMessage.h"
#include "send/MailerSettings.h"
#include "send/SendComponents.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QObject;
class TDM_Databaser;
class TGroupSend;
class TSendStatus;

// What the mailer works on, apart from its windows: the store, the files
// folder and the settings read from it, the message being composed, the
// signature names, the send components and the group send over them. The
// program builds it before the main window, which shows it; the child
// windows work on it.
class TMailerSession
{
public:
    using DialUpBackendFactory = std::function<std::unique_ptr<DialUpBackend>()>;

    // Reads CORVAN.INI at once. dialUpBackends gives every dial-up component
    // its way to the phone book and the connections: the run's, and one for
    // each window that lists the phone book (NetworkManager for the program,
    // a phone book held in memory for tests).
    TMailerSession(TDM_Databaser &dataModule, const QString &filesFolder, DialUpBackendFactory dialUpBackends);
    ~TMailerSession();

    TDM_Databaser &DataModule() const { return m_dm; }
    // Where the settings file, signatures and messages are (beside the
    // program, or the user's data folder for an installed copy).
    const QString &FilesFolder() const { return m_filesFolder; }
    QString IniFileName() const { return m_filesFolder + QStringLiteral("CORVAN.INI"); }
    // Where message files are kept by default.
    QString MessageFolder() const { return m_filesFolder + QStringLiteral("MSG"); }

    // Reads CORVAN.INI into the settings fields.
    void LoadSettings();
    TMailerSettings Settings;

    std::unique_ptr<DialUpBackend> CreateDialUpBackend() const { return m_dialUpBackends(); }

    QStringList FSignatureNames;
    // Rebuilds FSignatureNames from the signature folder; false after
    // reporting a folder that cannot be created.
    bool ScanSignatures();

    // The message being composed; the message window keeps its attachments
    // here, and "Start sending Email" fills in the rest.
    TDraftMessage &Draft() { return m_draft; }

    // The login's password, in the desktop's secret store unless a test
    // gives another store.
    TSmtpLogin &SmtpLogin() { return m_components.Login; }
    // The desktop's secret store (or a test's), where the store's
    // unsubscribe secret is kept too.
    SecretStore &Secrets() { return *m_components.Login.Store(); }
    // The OAuth 2.0 sign-in and its tokens, kept with the login's secrets.
    TOAuthTokenSource &Tokens() { return m_components.Tokens; }

    // The group send shows itself through status and hears a click on
    // cancel while it waits for the server: the main window's status bar and
    // buttons. So the run is there while a window shows it, from
    // AttachGroupSend until DetachGroupSend, which the window calls before
    // its status goes.
    void AttachGroupSend(TSendStatus &status, QObject &cancel);
    void DetachGroupSend();
    TGroupSend &GroupSend() const { return *m_groupSend; }

private:
    TDM_Databaser &m_dm;
    const QString m_filesFolder;
    const DialUpBackendFactory m_dialUpBackends;
    TDraftMessage m_draft;
    TSendComponents m_components;
    std::unique_ptr<TGroupSend> m_groupSend;
};
