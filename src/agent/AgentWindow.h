#pragma once

#include "agent/AgentLoop.h"
#include "send/SendStatus.h"

#include <QIcon>
#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLineEdit;
class QMenu;
class TDBGrid;
class TDM_Databaser;
class TSendStatusBar;
class TSendComponents;

// The mailer has a window of the same name; this one is the agent program's.
namespace agent {

class TmdTray;

// The agent's schedule window: the schedule in a read-only grid, "Prompt
// before send", "Prompt if error" and "Retry Send", and the send's status
// bar. Closing it puts the agent into the notification area, whose menu
// (Abort, the schedule timer, Schedule, View logfile, Shutdown) drives the
// schedule loop. On a desktop without a notification area closing minimises
// the window, and its menu bar offers the same commands.
class TF_Agent : public QMainWindow
{
    Q_OBJECT
public:
    static inline const QString TrayTip = QStringLiteral("Ostrel98 by Tamberlo");
    // The tip while the schedule timer is stopped, before the reason.
    static inline const QString StoppedTip = QStringLiteral("Ostrel98 stopped: ");

    TF_Agent(TDM_Databaser &dataModule, TSendComponents &components, const FileLocations &files,
             QWidget *parent = nullptr);
    ~TF_Agent() override;

    TAgentLoop &Loop() { return m_loop; }
    TmdTray &Tray() { return *m_tray; }
    QMenu *TrayMenu() const { return m_trayMenu; }
    // A command of the tray menu by its name (Abort, Starttimer1, ...).
    QAction *command(const QString &objectName) const;
    QString panelText(int panel) const;

    // Opens a file in the desktop's text editor; tests look instead.
    std::function<void(const QString &path)> openInEditor;

    TDBGrid *gr_Agent;
    QCheckBox *ch_BeforeSend;
    QCheckBox *ch_Error;
    QLineEdit *ed_Retry;

    void Abort1Click();
    void Starttimer1Click();
    void Stoptimer1Click();
    void Show1Click();
    void Viewresult1Click();
    void Exit1Click();
    // Ends the agent without asking: the result log is written first.
    void Shutdown();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    // The timer items, the tray's tip and its icon follow the schedule
    // timer, whoever started or stopped it.
    void showTimerState();
    void createTrayMenu();
    QAction *addCommand(const QString &name, const QString &caption, const QString &hint,
                        void (TF_Agent::*handler)());

    TSendStatusBar *m_status;
    QMenu *m_trayMenu;
    TmdTray *m_tray;
    // How the send shows itself on this window.
    std::unique_ptr<TSendStatus> m_sendStatus;
    QIcon m_runningIcon;
    QIcon m_stoppedIcon;
    TAgentLoop m_loop;
    bool m_shuttingDown = false;
};

}
