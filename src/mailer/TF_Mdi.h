#pragma once

#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QStringList>
#include <initializer_list>
#include <memory>
#include <optional>
#include <utility>

#include "mailer/TF_NewMsg.h"

struct TDraftMessage;
struct TTestSend;

class QAction;
class QPlainTextEdit;
class TMailerSession;
class TMdiSendStatus;
class TThrottledSendStatus;
class QToolButton;
class TDBNavigator;
class TF_Groups;
class TF_Signature;
class TF_Network;
class TF_Replies;
class TF_Suppression;
class TSendStatusBar;
class TToolPanel;
class TWallpaperMdiArea;
namespace mailer {
class TF_Agent;
}

// The mailer's main window: an MDI frame with its menu, tool panels, status
// bar and the child windows the user opens, over the mailer's session.
class TF_Mdi : public QMainWindow
{
    Q_OBJECT
public:
    explicit TF_Mdi(TMailerSession &session, QWidget *parent = nullptr);
    ~TF_Mdi() override;

    // Brings the open child of class T (or of a class derived from it) to the
    // front, restored if minimised; otherwise creates one with create() at
    // the top-left corner of the client area. A child that cannot be created
    // is reported and nullptr returned.
    template <typename T, typename Create>
    T *OpenChild(QPointer<T> &instance, Create create);

    // Shows panel exactly while a child of the class is the active child.
    void bindToolPanel(const QMetaObject &childClass, QWidget *panel);

    // Signatures and the message window.
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
    // The addresses never mailed again, and the mail folder read for more.
    void Suppression1Click();
    void ProcessReplies1Click();
    QPointer<TF_Suppression> F_Suppression;
    QPointer<TF_Replies> F_Replies;
    // The schedule editor, with the navigator on pa_Agent.
    void AgentSchedule1Click();
    QPointer<mailer::TF_Agent> F_Agent;

    // The group send: "Start sending Email" sends the open message to its
    // group; Cancel stops the run.
    void bu_SendGrpMailClick();
    void bu_StopClick();
    // The open message as a member of its group reads it, with a test send.
    void bu_PreviewClick();

    QMdiArea *mdiArea() const;
    TSendStatusBar *smtpstatus() const { return m_status; }
    QWidget *pa_Header() const { return m_header; }
    TToolPanel *tb_Program() const { return m_program; }
    TToolPanel *pa_NewMsg() const { return m_newMsg; }
    TToolPanel *pa_Signature() const { return m_signature; }
    TToolPanel *pa_Agent() const { return m_agent; }
    TDBNavigator *AgentNavigator() const { return m_agentNavigator; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // While a run is busy, closing asks as "Exit" does; on Yes the run is
    // cancelled at the member boundary and the window closes once it has
    // ended.
    void closeEvent(QCloseEvent *event) override;

private:
    void createMenu();
    void createToolPanels();
    void createStatusBar();
    void createSendRun();
    // A button of a child's tool panel and the child's handler of its click.
    template <typename Child>
    using PanelCommand = std::pair<QToolButton *, void (Child::*)()>;
    // OpenChild for a child made over the session that acts on the buttons
    // of its tool panel: they, and its activation (FormActivate), reach it
    // from before it is first shown.
    template <typename Child>
    void OpenPanelChild(QPointer<Child> &instance, std::initializer_list<PanelCommand<Child>> commands);
    // The signature's lines as the message box would show them in font.
    bool readSignature(const QString &name, const QFont &font, QStringList &lines);
    // The run of the message that left the message window is over: a
    // message nobody got comes back; a close waiting for the run goes on.
    void sendRunEnded();
    // The message window's message as it goes out, text and signature;
    // false after telling the user why it cannot.
    bool composeDraft(const TF_NewMsg &message, TDraftMessage &draft);
    void sendTest(const TDraftMessage &draft, const TTestSend &test);
    // Puts the message back in the message window; when the user is
    // composing another one there, it is kept in a message file instead.
    void bringBackMessage(const TF_NewMsg::Contents &message);
    // Closes the message window whose message a run has taken.
    void letGoOfMessageWindow(TF_NewMsg *message);
    void keepUnsentMessage(const TF_NewMsg::Contents &message);
    QMdiSubWindow *findChildOfClass(const QMetaObject &childClass) const;
    void bringForward(QMdiSubWindow *child);
    QMdiSubWindow *addChild(QWidget *child);
    void updateToolPanels();
    void reportChildFailure();

    TMailerSession &m_session;
    TWallpaperMdiArea *m_mdiArea;
    QWidget *m_header = nullptr;
    TToolPanel *m_program = nullptr;
    TToolPanel *m_newMsg = nullptr;
    TToolPanel *m_signature = nullptr;
    TToolPanel *m_agent = nullptr;
    TDBNavigator *m_agentNavigator = nullptr;
    TSendStatusBar *m_status = nullptr;
    QList<std::pair<const QMetaObject *, QWidget *>> m_toolPanels;

    // The menu's commands.
    QAction *NetworkSettings1 = nullptr;
    QAction *AgentSchedule1 = nullptr;
    QAction *Exit1 = nullptr;
    QAction *Editgroups1 = nullptr;
    QAction *Editsignature1 = nullptr;
    QAction *Suppression1 = nullptr;
    QAction *ProcessReplies1 = nullptr;
    QAction *Groupsend1 = nullptr;
    QAction *About1 = nullptr;
    // The program's tool panel.
    QToolButton *bu_Close = nullptr;
    QToolButton *bu_Group = nullptr;
    QToolButton *bu_Signatur = nullptr;
    QToolButton *bu_SendGrp = nullptr;
    QToolButton *bu_Agent = nullptr;
    QToolButton *bu_Stop = nullptr;
    // The message window's panel.
    QToolButton *bu_Ladda = nullptr;
    QToolButton *bu_AttachGrpMail = nullptr;
    QToolButton *bu_Save = nullptr;
    QToolButton *bu_SendGrpMail = nullptr;
    QToolButton *bu_Preview = nullptr;
    // The signature list's panel.
    QToolButton *bu_EditSignatur = nullptr;
    QToolButton *bu_DeleteSignatur = nullptr;
    QToolButton *bu_NySignatur = nullptr;

    QPointer<TF_Network> m_network;
    // The message of the run, until the run has ended.
    std::optional<TF_NewMsg::Contents> m_sentMessage;
    // "Exit" has asked already; a close waits for the run to end.
    bool m_exitConfirmed = false;
    bool m_closeAfterRun = false;
    // A hidden text box as wide as the message's, so a signature's long
    // lines wrap as the message's do.
    QPlainTextEdit *mo_Signature = nullptr;
    std::unique_ptr<TMdiSendStatus> m_sendStatus;
    // What the run shows reaches the window at the pace of a screen.
    std::unique_ptr<TThrottledSendStatus> m_shownStatus;
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
