#include "agent/AgentWindow.h"

#include "agent/Tray.h"
#include "send/SendComponents.h"
#include "platform/Prompts.h"
#include "widgets/DBGrid.h"
#include "widgets/Labelling.h"
#include "widgets/StatusBar.h"
#include "widgets/StatusBarSendStatus.h"
#include "store/DM_Databaser.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QVBoxLayout>

namespace agent {

namespace {

// The send's status bar, and Abort in the agent's menu while a send runs.
class TAgentSendStatus : public TStatusBarSendStatus
{
public:
    TAgentSendStatus(TSendStatusBar &statusBar, const TF_Agent &window)
        : TStatusBarSendStatus(statusBar), m_window(window)
    {
    }

    void showRunControls(bool shown) override
    {
        TStatusBarSendStatus::showRunControls(shown);
        m_window.command("Abort")->setEnabled(shown);
    }

private:
    const TF_Agent &m_window;
};

}

TF_Agent::TF_Agent(TDM_Databaser &dataModule, TSendComponents &components, const FileLocations &files,
                   QWidget *parent)
    : QMainWindow(parent),
      gr_Agent(new TDBGrid("gr_Agent")),
      ch_BeforeSend(new QCheckBox("Prompt before send")),
      ch_Error(new QCheckBox("Prompt if error")),
      ed_Retry(new QLineEdit("3")),
      m_status(new TSendStatusBar("scheduled send",
                                  {TSendStatusBar::Panel::Activity, TSendStatusBar::Panel::MemberCount,
                                   TSendStatusBar::Panel::MemberNumber},
                                  this)),
      m_trayMenu(new QMenu(this)),
      m_tray(new TmdTray(this)),
      m_sendStatus(std::make_unique<TAgentSendStatus>(*m_status, *this)),
      m_loop(dataModule, components, files, *m_sendStatus)
{
    setObjectName("F_Agent");
    setWindowTitle("Ostrel98");
    openInEditor = [](const QString &path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); };
    createControls();
    gr_Agent->setDataSet(&dataModule.ta_Agent);
    createTrayMenu();

    m_runningIcon = QIcon(":/icons/MAINICON");
    m_stoppedIcon = QIcon(m_runningIcon.pixmap(QSize(32, 32), QIcon::Disabled));
    m_tray->setObjectName("Tray");
    m_tray->setTip(TrayTip);
    m_tray->setIcon(m_runningIcon);
    m_tray->setPopupMenu(m_trayMenu);
    m_tray->Loaded();
    // The window is shown; the icon comes with closing it.
    m_tray->setActive(false);

    // The commands stay usable while a send waits on the server.
    components.Wait1.AcceptInputOn(m_trayMenu);
    components.Wait1.AcceptInputOn(menuBar());
    connect(&m_loop, &TAgentLoop::timerChanged, this, &TF_Agent::showTimerState);
    m_loop.Start();
}

TF_Agent::~TF_Agent() = default;

void TF_Agent::createControls()
{
    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    gr_Agent->setParent(central);
    gr_Agent->setColumns({{"Group", 200}, {"Date", 70}, {"Time", 46}, {"MsgFile", 100}});
    gr_Agent->setReadOnly(true);
    gr_Agent->setAccessibleName("gr_Agent");
    gr_Agent->setAccessibleDescription("The scheduled sends: group, date, time and message file");
    layout->addWidget(gr_Agent);

    auto *options = new QHBoxLayout;
    ch_BeforeSend->setObjectName("ch_BeforeSend");
    ch_BeforeSend->setChecked(true);
    ch_Error->setObjectName("ch_Error");
    ch_Error->setChecked(true);
    auto *retryLabel = new QLabel("Retry Send", central);
    ed_Retry->setObjectName("ed_Retry");
    labelControl(retryLabel, ed_Retry);
    ed_Retry->setAccessibleDescription("How many times a send is tried when the server cannot be reached");
    options->addWidget(ch_BeforeSend);
    options->addWidget(ch_Error);
    options->addStretch();
    options->addWidget(retryLabel);
    options->addWidget(ed_Retry);
    layout->addLayout(options);
    setCentralWidget(central);

    connect(ch_BeforeSend, &QCheckBox::toggled, this, [this](bool on) { m_loop.Choices.PromptBeforeSend = on; });
    connect(ch_Error, &QCheckBox::toggled, this, [this](bool on) { m_loop.Choices.PromptIfError = on; });
    connect(ed_Retry, &QLineEdit::textChanged, this, [this](const QString &text) { m_loop.Choices.RetrySend = text; });

    // Until a send gives it the group's size, the progress runs to 100.
    m_status->pb()->setRange(0, 100);
    setStatusBar(m_status);
}

QAction *TF_Agent::addCommand(const QString &name, const QString &caption, const QString &hint,
                              void (TF_Agent::*handler)())
{
    QAction *action = m_trayMenu->addAction(caption);
    action->setObjectName(name);
    action->setToolTip(hint);
    action->setStatusTip(hint);
    connect(action, &QAction::triggered, this, handler);
    return action;
}

void TF_Agent::createTrayMenu()
{
    m_trayMenu->setObjectName("TrayMenu");
    m_trayMenu->setTitle("&Agent");
    m_trayMenu->setAccessibleName("TrayMenu");
    addCommand("Abort", "Abort", "Stops the send that runs now", &TF_Agent::Abort1Click)->setEnabled(false);
    m_trayMenu->addSeparator()->setObjectName("N2");
    addCommand("Starttimer1", "Start timer", "Looks at the schedule every five seconds again",
               &TF_Agent::Starttimer1Click)
        ->setEnabled(false);
    addCommand("Stoptimer1", "Stop timer", "Stops looking at the schedule", &TF_Agent::Stoptimer1Click);
    m_trayMenu->addSeparator()->setObjectName("N3");
    addCommand("Show1", "Schedule", "Shows the schedule window", &TF_Agent::Show1Click);
    addCommand("Viewresult1", "View logfile", "Opens the result log in the text editor", &TF_Agent::Viewresult1Click);
    m_trayMenu->addSeparator()->setObjectName("N1");
    addCommand("Exit1", "Shutdown", "Ends the agent", &TF_Agent::Exit1Click);
    // Without a notification area the window carries the commands itself.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        menuBar()->addMenu(m_trayMenu);
    else
        menuBar()->hide();
}

QAction *TF_Agent::command(const QString &objectName) const
{
    return m_trayMenu->findChild<QAction *>(objectName);
}

QString TF_Agent::panelText(int panel) const
{
    return m_status->panelText(panel);
}

void TF_Agent::showTimerState()
{
    const bool running = m_loop.TimerRunning();
    command("Starttimer1")->setEnabled(!running);
    command("Stoptimer1")->setEnabled(running);
    m_tray->setTip(running ? TrayTip : StoppedTip + m_loop.StoppedBecause());
    m_tray->setIcon(running ? m_runningIcon : m_stoppedIcon);
}

void TF_Agent::Abort1Click()
{
    m_loop.Abort();
}

void TF_Agent::Starttimer1Click()
{
    m_loop.StartTimer();
}

void TF_Agent::Stoptimer1Click()
{
    m_loop.StopTimer("Stop timer was chosen");
}

void TF_Agent::Show1Click()
{
    m_tray->setActive(false);
    showNormal();
    raise();
    activateWindow();
}

void TF_Agent::Viewresult1Click()
{
    QString error;
    if (!m_loop.WriteResultLog(&error)) {
        Prompt::error(error);
        return;
    }
    openInEditor(m_loop.ResultLogFile());
}

void TF_Agent::Exit1Click()
{
    if (Prompt::confirm("Are you sure?") == PromptAnswer::Yes)
        Shutdown();
}

void TF_Agent::Shutdown()
{
    QString error;
    if (!m_loop.Shutdown(&error))
        Prompt::error(error);
    m_shuttingDown = true;
    close();
    QCoreApplication::quit();
}

void TF_Agent::closeEvent(QCloseEvent *event)
{
    if (m_shuttingDown) {
        event->accept();
        return;
    }
    // The agent keeps running: only Shutdown ends it.
    event->ignore();
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        m_tray->setActive(true);
        hide();
    } else {
        showMinimized();
    }
}

}
