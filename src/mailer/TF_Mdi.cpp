#include "mailer/TF_Mdi.h"

#include "store/DM_Databaser.h"
#include "mailer/MailerSession.h"
#include "mailer/ScheduleEditor.h"
#include "send/GroupSend.h"
#include "mailer/MdiSendStatus.h"
#include "send/ThrottledSendStatus.h"
#include "platform/Prompts.h"
#include "widgets/RecordNavigator.h"
#include "widgets/StatusBar.h"
#include "mailer/TF_About.h"
#include "addressbook/TF_Groups.h"
#include "mailer/TF_Network.h"
#include "mailer/TF_Replies.h"
#include "addressbook/TF_Suppression.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Signature.h"
#include "widgets/ToolPanel.h"
#include "widgets/WallpaperMdiArea.h"
#include "widgets/Placement.h"

#include <QCloseEvent>
#include <QEvent>
#include <QScopedValueRollback>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

TF_Mdi::TF_Mdi(TMailerSession &session, QWidget *parent)
    : QMainWindow(parent),
      m_session(session),
      m_mdiArea(new TWallpaperMdiArea(QPixmap(":/corvane/wallpaper.png"), this))
{
    setObjectName("F_Mdi");
    setWindowTitle("Corvane 98 Professional");
    setWindowIcon(QIcon(":/corvane/corvane.png"));
    resize(618, 521);
    m_mdiArea->setObjectName("ClientArea");
    m_mdiArea->setAccessibleName("Corvane 98 Professional workspace");
    m_mdiArea->setAccessibleDescription("The open windows of the mailer");
    setCentralWidget(m_mdiArea);
    createMenu();
    createToolPanels();
    createStatusBar();
    createSendRun();
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &TF_Mdi::updateToolPanels);
    centreOnScreen(this);
}

TF_Mdi::~TF_Mdi()
{
    // The run shows itself on this window's status bar, which goes with it.
    m_session.DetachGroupSend();
    // The client area and the children outlive this part of the window while
    // it is torn down: they must not call back into it.
    disconnect(m_mdiArea, nullptr, this, nullptr);
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList()) {
        if (sub->widget())
            sub->widget()->removeEventFilter(this);
    }
}

QMdiArea *TF_Mdi::mdiArea() const
{
    return m_mdiArea;
}

void TF_Mdi::createMenu()
{
    auto add = [this](QMenu *menu, const QString &objectName, const QString &caption, void (TF_Mdi::*handler)()) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(objectName);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    QMenu *file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    NetworkSettings1 = add(file, "NetworkSettings1", "&Network Settings", &TF_Mdi::NetworkSettings1Click);
    AgentSchedule1 = add(file, "AgentSchedule1", "&Agent Scheduler", &TF_Mdi::AgentSchedule1Click);
    file->addSeparator();
    Exit1 = add(file, "Exit1", "E&xit", &TF_Mdi::bu_CloseClick);
    QMenu *message = menuBar()->addMenu("&Message");
    message->setObjectName("Message1");
    Editgroups1 = add(message, "Editgroups1", "&Groups", &TF_Mdi::Editgroups1Click);
    Editsignature1 = add(message, "Editsignature1", "&Signature", &TF_Mdi::Editsignature1Click);
    Suppression1 = add(message, "Suppression1", "Suppression &list", &TF_Mdi::Suppression1Click);
    ProcessReplies1 = add(message, "ProcessReplies1", "&Process replies...", &TF_Mdi::ProcessReplies1Click);
    message->addSeparator();
    Groupsend1 = add(message, "Groupsend1", "S&end Group", &TF_Mdi::Groupsend1Click);
    QMenu *help = menuBar()->addMenu("&Help");
    help->setObjectName("Help1");
    About1 = add(help, "About1", "&About", &TF_Mdi::About1Click);
}

void TF_Mdi::createToolPanels()
{
    auto *bar = new QToolBar(this);
    bar->setObjectName("HeaderBar");
    bar->setMovable(false);
    bar->setFloatable(false);
    bar->setFixedHeight(28);
    addToolBar(Qt::TopToolBarArea, bar);
    m_header = new QWidget(bar);
    m_header->setObjectName("pa_Header");
    m_header->setAccessibleName("pa_Header");
    m_header->setAccessibleDescription("Tool panels");
    auto *row = new QHBoxLayout(m_header);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(4);
    bar->addWidget(m_header);

    QStyle *s = style();
    // A button without a handler here acts on a child: it is wired to the
    // child when the child opens.
    auto add = [this, s](TToolPanel *panel, const QString &objectName, const QString &hint, QStyle::StandardPixmap glyph,
                         void (TF_Mdi::*handler)() = nullptr) {
        QToolButton *button = panel->addButton(objectName, hint, s->standardIcon(glyph));
        if (handler)
            connect(button, &QToolButton::clicked, this, handler);
        return button;
    };
    m_program = new TToolPanel("tb_Program", m_header);
    m_program->setAccessibleDescription("Program commands");
    bu_Close = add(m_program, "bu_Close", "Exit application", QStyle::SP_DialogCloseButton, &TF_Mdi::bu_CloseClick);
    m_program->addSeparator();
    bu_Group = add(m_program, "bu_Group", "Edit groups", QStyle::SP_FileDialogListView, &TF_Mdi::Editgroups1Click);
    bu_Signatur = add(m_program, "bu_Signatur", "Signature", QStyle::SP_FileDialogContentsView,
                      &TF_Mdi::Editsignature1Click);
    m_program->addSeparator();
    bu_SendGrp = add(m_program, "bu_SendGrp", "Group send", QStyle::SP_ArrowForward, &TF_Mdi::Groupsend1Click);
    bu_Agent = add(m_program, "bu_Agent", "Agent Scheduler", QStyle::SP_FileDialogInfoView, &TF_Mdi::AgentSchedule1Click);
    // Shown and enabled while a run sends.
    bu_Stop = add(m_program, "bu_Stop", "Cancel", QStyle::SP_BrowserStop, &TF_Mdi::bu_StopClick);
    bu_Stop->setVisible(false);
    bu_Stop->setEnabled(false);
    row->addWidget(m_program);

    m_newMsg = new TToolPanel("pa_NewMsg", m_header);
    m_newMsg->setAccessibleDescription("Commands of the message window");
    bu_Ladda = add(m_newMsg, "bu_Ladda", "Load message", QStyle::SP_DialogOpenButton);
    bu_AttachGrpMail = add(m_newMsg, "bu_AttachGrpMail", "Attatch file(s)", QStyle::SP_FileLinkIcon);
    bu_Save = add(m_newMsg, "bu_Save", "Save message", QStyle::SP_DialogSaveButton);
    bu_SendGrpMail = add(m_newMsg, "bu_SendGrpMail", "Start sending Email", QStyle::SP_MediaPlay,
                         &TF_Mdi::bu_SendGrpMailClick);
    bu_Preview = add(m_newMsg, "bu_Preview", "Preview and send a test", QStyle::SP_FileDialogContentsView,
                     &TF_Mdi::bu_PreviewClick);
    m_signature = new TToolPanel("pa_Signature", m_header);
    m_signature->setAccessibleDescription("Commands of the signature list");
    bu_EditSignatur = add(m_signature, "bu_EditSignatur", "Edit current signature", QStyle::SP_FileDialogDetailedView);
    bu_DeleteSignatur = add(m_signature, "bu_DeleteSignatur", "Delete current signature", QStyle::SP_TrashIcon);
    bu_NySignatur = add(m_signature, "bu_NySignatur", "Insert new signature", QStyle::SP_FileIcon);
    m_agent = new TToolPanel("pa_Agent", m_header);
    m_agent->setAccessibleDescription("Commands of the schedule");
    m_agentNavigator = new TDBNavigator("AgentNavigator", m_agent);
    m_agentNavigator->setAccessibleDescription("Moves through the schedule and edits its entries");
    m_agentNavigator->setDataSet(&m_session.DataModule().ta_Agent);
    m_agent->layout()->addWidget(m_agentNavigator);
    for (TToolPanel *panel : {m_newMsg, m_signature, m_agent}) {
        panel->setVisible(false);
        panel->setEnabled(false);
        row->addWidget(panel);
    }
    row->addStretch();
    bindToolPanel(mailer::TF_Agent::staticMetaObject, m_agent);
    bindToolPanel(TF_Signature::staticMetaObject, m_signature);
    bindToolPanel(TF_NewMsg::staticMetaObject, m_newMsg);
}

void TF_Mdi::createStatusBar()
{
    using Panel = TSendStatusBar::Panel;
    m_status = new TSendStatusBar("group send",
                                  {Panel::Activity, Panel::Unused, Panel::MemberCount, Panel::MemberNumber, Panel::Blank},
                                  this);
    setStatusBar(m_status);
}

void TF_Mdi::bindToolPanel(const QMetaObject &childClass, QWidget *panel)
{
    m_toolPanels.append({&childClass, panel});
    updateToolPanels();
}

void TF_Mdi::updateToolPanels()
{
    // The current child stays current while another program has the focus,
    // so the panels do not flicker away when the user switches programs.
    QMdiSubWindow *current = m_mdiArea->currentSubWindow();
    QWidget *child = current ? current->widget() : nullptr;
    for (const auto &[childClass, panel] : std::as_const(m_toolPanels)) {
        const bool shown = child && childClass->cast(child);
        panel->setVisible(shown);
        panel->setEnabled(shown);
    }
}

QMdiSubWindow *TF_Mdi::findChildOfClass(const QMetaObject &childClass) const
{
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList(QMdiArea::CreationOrder)) {
        // A closed child whose deletion waits is not open.
        if (sub->widget() && childClass.cast(sub->widget()) && !sub->isHidden())
            return sub;
    }
    return nullptr;
}

void TF_Mdi::bringForward(QMdiSubWindow *child)
{
    if (child->isMinimized())
        child->showNormal();
    m_mdiArea->setActiveSubWindow(child);
    child->raise();
}

QMdiSubWindow *TF_Mdi::addChild(QWidget *child)
{
    QMdiSubWindow *sub = m_mdiArea->addSubWindow(child);
    if (child->minimumSize() == child->maximumSize()) {
        // A window of fixed size has a fixed border: it cannot be maximised.
        sub->setWindowFlags(Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                            | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    }
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->setWindowTitle(child->windowTitle());
    sub->setWindowIcon(child->windowIcon());
    // A child that closes itself takes its frame with it; the frame is
    // closed once the child's own close has finished.
    child->installEventFilter(this);
    sub->move(0, 0);
    sub->show();
    m_mdiArea->setActiveSubWindow(sub);
    return sub;
}

bool TF_Mdi::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Close) {
        auto *widget = qobject_cast<QWidget *>(watched);
        QPointer<QMdiSubWindow> sub = widget ? qobject_cast<QMdiSubWindow *>(widget->parentWidget()) : nullptr;
        if (sub) {
            // Closing the frame closes the child again: only a frame still
            // shown around a child that has gone is closed, or the two would
            // close each other at every turn of the event loop until the
            // frame is deleted, which a run's nested loop puts off to its
            // end, repainting the whole window each time.
            QMetaObject::invokeMethod(
                this,
                [sub] {
                    if (sub && sub->isVisible() && !(sub->widget() && sub->widget()->isVisible()))
                        sub->close();
                },
                Qt::QueuedConnection);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TF_Mdi::reportChildFailure()
{
    setUpdatesEnabled(true);
    Prompt::message("Fel vid försök skapa MDI-childform");
}

void TF_Mdi::bu_CloseClick()
{
    if (QMdiSubWindow *child = m_mdiArea->currentSubWindow()) {
        child->close();
        return;
    }
    if (Prompt::confirm("Exit Corvane 98?") == PromptAnswer::Yes) {
        const QScopedValueRollback asked(m_exitConfirmed, true);
        close();
    }
}

void TF_Mdi::closeEvent(QCloseEvent *event)
{
    TGroupSend &run = m_session.GroupSend();
    if (!run.Busy()) {
        QMainWindow::closeEvent(event);
        return;
    }
    // Closed now, the window would leave the run sending out of sight,
    // without Cancel, and the program could not end until the run did.
    event->ignore();
    if (m_closeAfterRun)
        return;
    if (!m_exitConfirmed && Prompt::confirm("Exit Corvane 98?") != PromptAnswer::Yes)
        return;
    m_closeAfterRun = true;
    run.bu_StopClick();
}

void TF_Mdi::Editgroups1Click()
{
    OpenChild(F_Groups, [this] { return new TF_Groups(m_session.DataModule()); });
}

void TF_Mdi::Suppression1Click()
{
    OpenChild(F_Suppression, [this] { return new TF_Suppression(m_session.DataModule().Databas); });
}

void TF_Mdi::ProcessReplies1Click()
{
    OpenChild(F_Replies, [this] { return new TF_Replies(m_session); });
}

void TF_Mdi::About1Click()
{
    TF_About about(this);
    about.adjustSize();
    centreOnScreen(&about);
    about.exec();
}

void TF_Mdi::AgentSchedule1Click()
{
    OpenChild(F_Agent, [this] {
        return new mailer::TF_Agent(m_session.DataModule(), *m_agentNavigator, m_session.MessageFolder());
    });
}

void TF_Mdi::NetworkSettings1Click()
{
    OpenChild(m_network, [this] { return new TF_Network(m_session); });
}
