#pragma once

#include "connection/DialUpBackend.h"
#include "send/DraftMessage.h"
#include "send/MailerSettings.h"
#include "send/SendComponents.h"

#include <QHash>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QStringList>
#include <functional>
#include <memory>
#include <utility>

class QAction;
class QPlainTextEdit;
class TGroupSend;
class TMdiSendStatus;
class TThrottledSendStatus;
class QToolButton;
class TDBNavigator;
class TF_Groups;
class TDM_Databaser;
class TF_NewMsg;
class TF_Signature;
class TF_Network;
class TSendStatusBar;
class TToolPanel;
class TWallpaperMdiArea;
namespace mailer {
class TF_Agent;
}

// The mailer's main window: an MDI frame with its menu, tool panels, status
// bar and the child windows the user opens.
class TF_Mdi : public QMainWindow
{
    Q_OBJECT
public:
    TF_Mdi(TDM_Databaser &dataModule, const QString &filesFolder, QWidget *parent = nullptr);
    ~TF_Mdi() override;

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

    // Where the windows' dial-up components reach the phone book and the
    // connections: NetworkManager unless replaced (tests use a phone book
    // held in memory).
    using DialUpBackendFactory = std::function<std::unique_ptr<DialUpBackend>()>;
    void setDialUpBackendFactory(DialUpBackendFactory factory);
    std::unique_ptr<DialUpBackend> CreateDialUpBackend() const { return m_dialUpBackendFactory(); }

    QStringList FSignatureNames;
    // The message being composed; the message window keeps its attachments
    // here, and "Start sending Email" fills in the rest.
    TDraftMessage &Draft() { return m_draft; }

    // Brings the open child of class T (or of a class derived from it) to the
    // front, restored if minimised; otherwise creates one with create() at
    // the top-left corner of the client area. A child that cannot be created
    // is reported and nullptr returned.
    template <typename T, typename Create>
    T *OpenChild(QPointer<T> &instance, Create create);

    // Shows panel exactly while a child of the class is the active child.
    void bindToolPanel(const QMetaObject &childClass, QWidget *panel);

    // Signatures and the message window.
    // Rebuilds FSignatureNames from the signature folder; false after
    // reporting a folder that cannot be created.
    bool ScanSignatures();
    void Editsignature1Click();
    void Groupsend1Click();
    QPointer<TF_Signature> F_Signature;
    QPointer<TF_NewMsg> F_NewMsg;

    // Exit command: closes the active child, or asks before ending.
    void bu_CloseClick();
    void About1Click();
    void Editgroups1Click();
    void NetworkSettings1Click();
    QPointer<TF_Groups> F_Groups;
    // The schedule editor, with the navigator on pa_Agent.
    void AgentSchedule1Click();
    QPointer<mailer::TF_Agent> F_Agent;

    // The group send: "Start sending Email" sends the open message to its
    // group; Cancel stops the run.
    void bu_SendGrpMailClick();
    void bu_StopClick();
    TGroupSend &GroupSend() const { return *m_groupSend; }
    // The login's password, in the desktop's secret store unless a test
    // gives another store.
    TSmtpLogin &SmtpLogin() { return m_sendComponents.Login; }

    QMdiArea *mdiArea() const;
    TSendStatusBar *smtpstatus() const { return m_status; }
    QWidget *pa_Header() const { return m_header; }
    TToolPanel *tb_Program() const { return m_program; }
    TToolPanel *pa_NewMsg() const { return m_newMsg; }
    TToolPanel *pa_Signature() const { return m_signature; }
    TToolPanel *pa_Agent() const { return m_agent; }
    TDBNavigator *AgentNavigator() const { return m_agentNavigator; }
    QToolButton *button(const QString &objectName) const;
    QAction *menuAction(const QString &objectName) const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createMenu();
    void createToolPanels();
    void createStatusBar();
    void connectMessageCommands();
    void createSendRun();
    bool readSignature(const QString &name, QStringList &lines);
    QMdiSubWindow *findChildOfClass(const QMetaObject &childClass) const;
    void bringForward(QMdiSubWindow *child);
    QMdiSubWindow *addChild(QWidget *child);
    void updateToolPanels();
    void reportChildFailure();

    TDM_Databaser &m_dm;
    QString m_filesFolder;
    TWallpaperMdiArea *m_mdiArea;
    QWidget *m_header = nullptr;
    TToolPanel *m_program = nullptr;
    TToolPanel *m_newMsg = nullptr;
    TToolPanel *m_signature = nullptr;
    TToolPanel *m_agent = nullptr;
    TDBNavigator *m_agentNavigator = nullptr;
    TSendStatusBar *m_status = nullptr;
    QList<std::pair<const QMetaObject *, QWidget *>> m_toolPanels;
    DialUpBackendFactory m_dialUpBackendFactory;
    TDraftMessage m_draft;
    TSendComponents m_sendComponents;
    QPointer<TF_Network> m_network;
    // A hidden text box as wide as the message's, so a signature's long
    // lines wrap as the message's do.
    QPlainTextEdit *mo_Signature = nullptr;
    std::unique_ptr<TMdiSendStatus> m_sendStatus;
    // What the run shows reaches the window at the pace of a screen.
    std::unique_ptr<TThrottledSendStatus> m_shownStatus;
    std::unique_ptr<TGroupSend> m_groupSend;
};

template <typename T, typename Create>
T *TF_Mdi::OpenChild(QPointer<T> &instance, Create create)
{
    if (QMdiSubWindow *open = findChildOfClass(T::staticMetaObject)) {
        bringForward(open);
        return qobject_cast<T *>(open->widget());
    }
    setUpdatesEnabled(false);
    try {
        T *child = create();
        instance = child;
        addChild(child);
    } catch (...) {
        reportChildFailure();
        return nullptr;
    }
    setUpdatesEnabled(true);
    return instance;
}
