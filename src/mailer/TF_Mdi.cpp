#include "mailer/TF_Mdi.h"

#include "store/DM_Databaser.h"
#include "mailer/ScheduleEditor.h"
#include "send/GroupSend.h"
#include "mailer/MdiSendStatus.h"
#include "send/ThrottledSendStatus.h"
#include "connection/NetworkManagerBackend.h"
#include "platform/Prompts.h"
#include "widgets/RecordNavigator.h"
#include "widgets/StatusBar.h"
#include "mailer/TF_About.h"
#include "addressbook/TF_Groups.h"
#include "mailer/TF_Network.h"
#include "widgets/ToolPanel.h"
#include "widgets/WallpaperMdiArea.h"
#include "widgets/Placement.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

TF_Mdi::TF_Mdi(TDM_Databaser &dataModule, const QString &filesFolder, QWidget *parent)
    : QMainWindow(parent),
      m_dm(dataModule),
      m_filesFolder(filesFolder),
      m_mdiArea(new TWallpaperMdiArea(QPixmap(":/corvane/wallpaper.png"), this)),
      m_dialUpBackendFactory([] { return std::make_unique<NetworkManagerBackend>(); }),
      m_sendComponents(CreateDialUpBackend())
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
    connectMessageCommands();
    createSendRun();
    connect(m_mdiArea, &QMdiArea::subWindowActivated, this, &TF_Mdi::updateToolPanels);
    LoadSettings();
    centreOnScreen(this);
}

TF_Mdi::~TF_Mdi()
{
    // The client area and the children outlive this part of the window while
    // it is torn down: they must not call back into it.
    disconnect(m_mdiArea, nullptr, this, nullptr);
    for (QMdiSubWindow *sub : m_mdiArea->subWindowList()) {
        if (sub->widget())
            sub->widget()->removeEventFilter(this);
    }
}

void TF_Mdi::LoadSettings()
{
    Settings.LoadSettings(IniFileName());
}

QMdiArea *TF_Mdi::mdiArea() const
{
    return m_mdiArea;
}

void TF_Mdi::createMenu()
{
    auto add = [this](QMenu *menu, const QString &objectName, const QString &caption) {
        QAction *action = menu->addAction(caption);
        action->setObjectName(objectName);
        return action;
    };
    QMenu *file = menuBar()->addMenu("&File");
    file->setObjectName("File1");
    connect(add(file, "NetworkSettings1", "&Network Settings"), &QAction::triggered, this,
            &TF_Mdi::NetworkSettings1Click);
    connect(add(file, "AgentSchedule1", "&Agent Scheduler"), &QAction::triggered, this, &TF_Mdi::AgentSchedule1Click);
    file->addSeparator();
    connect(add(file, "Exit1", "E&xit"), &QAction::triggered, this, &TF_Mdi::bu_CloseClick);
    QMenu *message = menuBar()->addMenu("&Message");
    message->setObjectName("Message1");
    connect(add(message, "Editgroups1", "&Groups"), &QAction::triggered, this, &TF_Mdi::Editgroups1Click);
    add(message, "Editsignature1", "&Signature")->setEnabled(false);
    message->addSeparator();
    add(message, "Groupsend1", "S&end Group")->setEnabled(false);
    QMenu *help = menuBar()->addMenu("&Help");
    help->setObjectName("Help1");
    connect(add(help, "About1", "&About"), &QAction::triggered, this, &TF_Mdi::About1Click);
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
    m_program = new TToolPanel("tb_Program", m_header);
    m_program->setAccessibleDescription("Program commands");
    connect(m_program->addButton("bu_Close", "Exit application", s->standardIcon(QStyle::SP_DialogCloseButton)),
            &QToolButton::clicked, this, &TF_Mdi::bu_CloseClick);
    m_program->addSeparator();
    connect(m_program->addButton("bu_Group", "Edit groups", s->standardIcon(QStyle::SP_FileDialogListView)),
            &QToolButton::clicked, this, &TF_Mdi::Editgroups1Click);
    m_program->addButton("bu_Signatur", "Signature", s->standardIcon(QStyle::SP_FileDialogContentsView))->setEnabled(false);
    m_program->addSeparator();
    m_program->addButton("bu_SendGrp", "Group send", s->standardIcon(QStyle::SP_ArrowForward))->setEnabled(false);
    connect(m_program->addButton("bu_Agent", "Agent Scheduler", s->standardIcon(QStyle::SP_FileDialogInfoView)),
            &QToolButton::clicked, this, &TF_Mdi::AgentSchedule1Click);
    QToolButton *stop = m_program->addButton("bu_Stop", "Cancel", s->standardIcon(QStyle::SP_BrowserStop));
    stop->setVisible(false);
    stop->setEnabled(false);
    row->addWidget(m_program);

    m_newMsg = new TToolPanel("pa_NewMsg", m_header);
    m_newMsg->setAccessibleDescription("Commands of the message window");
    m_newMsg->addButton("bu_Ladda", "Load message", s->standardIcon(QStyle::SP_DialogOpenButton));
    m_newMsg->addButton("bu_AttachGrpMail", "Attatch file(s)", s->standardIcon(QStyle::SP_FileLinkIcon));
    m_newMsg->addButton("bu_Save", "Save message", s->standardIcon(QStyle::SP_DialogSaveButton));
    m_newMsg->addButton("bu_SendGrpMail", "Start sending Email", s->standardIcon(QStyle::SP_MediaPlay));
    m_signature = new TToolPanel("pa_Signature", m_header);
    m_signature->setAccessibleDescription("Commands of the signature list");
    m_signature->addButton("bu_EditSignatur", "Edit current signature", s->standardIcon(QStyle::SP_FileDialogDetailedView));
    m_signature->addButton("bu_DeleteSignatur", "Delete current signature", s->standardIcon(QStyle::SP_TrashIcon));
    m_signature->addButton("bu_NySignatur", "Insert new signature", s->standardIcon(QStyle::SP_FileIcon));
    m_agent = new TToolPanel("pa_Agent", m_header);
    m_agent->setAccessibleDescription("Commands of the schedule");
    m_agentNavigator = new TDBNavigator("AgentNavigator", m_agent);
    m_agentNavigator->setAccessibleDescription("Moves through the schedule and edits its entries");
    m_agentNavigator->setDataSet(&m_dm.ta_Agent);
    m_agent->layout()->addWidget(m_agentNavigator);
    for (TToolPanel *panel : {m_newMsg, m_signature, m_agent}) {
        panel->setVisible(false);
        panel->setEnabled(false);
        row->addWidget(panel);
    }
    row->addStretch();
    bindToolPanel(mailer::TF_Agent::staticMetaObject, m_agent);
}

void TF_Mdi::createStatusBar()
{
    using Panel = TSendStatusBar::Panel;
    m_status = new TSendStatusBar("group send",
                                  {Panel::Activity, Panel::Unused, Panel::MemberCount, Panel::MemberNumber, Panel::Blank},
                                  this);
    setStatusBar(m_status);
}

QToolButton *TF_Mdi::button(const QString &objectName) const
{
    return m_header->findChild<QToolButton *>(objectName);
}

QAction *TF_Mdi::menuAction(const QString &objectName) const
{
    return menuBar()->findChild<QAction *>(objectName);
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
        if (sub->widget() && childClass.cast(sub->widget()))
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
    if (Prompt::confirm("Exit Corvane 98?") == PromptAnswer::Yes)
        close();
}

void TF_Mdi::Editgroups1Click()
{
    OpenChild(F_Groups, [this] { return new TF_Groups(m_dm); });
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
    OpenChild(F_Agent, [this] { return new mailer::TF_Agent(m_dm, *m_agentNavigator, MessageFolder()); });
}

void TF_Mdi::NetworkSettings1Click()
{
    OpenChild(m_network, [this] { return new TF_Network(*this); });
}
