#pragma once

#include <QList>
#include <QStatusBar>

class QLabel;
class QProgressBar;

// A status bar of fixed-width text panels with a progress bar at its
// right-hand end.
class TPanelStatusBar : public QStatusBar
{
    Q_OBJECT
public:
    explicit TPanelStatusBar(QWidget *parent = nullptr);

    // A panel of the given width; width 0 gives a panel that takes no room.
    // Assistive technology reads a panel's current text as its name; give the
    // panel an accessible description that says what it reports.
    QLabel *addPanel(int width, const QString &text = QString(), bool bevel = true);
    int panelCount() const { return static_cast<int>(m_panels.size()); }
    QLabel *panel(int index) const { return m_panels.at(index); }
    void setPanelText(int index, const QString &text);
    QString panelText(int index) const;

    QProgressBar *pb() const { return m_progress; }

private:
    QList<QLabel *> m_panels;
    QProgressBar *m_progress;
};

// The status bar a program's group send shows itself on ("smtpstatus"):
// panels in the order given, and the progress bar, hidden until a run
// shows it.
class TSendStatusBar : public TPanelStatusBar
{
    Q_OBJECT
public:
    enum class Panel {
        Activity, // what the run does or how it ended, 260 wide
        MemberCount, // "Email:" and the group's size, 100 wide
        MemberNumber, // "Email nr:" and the member sent to, 100 wide
        Unused, // a panel that takes no room
        Blank, // an empty panel 70 wide
    };

    // sendName is what the descriptions call the send ("group send").
    TSendStatusBar(const QString &sendName, const QList<Panel> &panels, QWidget *parent = nullptr);

    QLabel *activityPanel() const { return m_activity; }
    QLabel *memberCountPanel() const { return m_memberCount; }
    QLabel *memberNumberPanel() const { return m_memberNumber; }

private:
    QLabel *m_activity = nullptr;
    QLabel *m_memberCount = nullptr;
    QLabel *m_memberNumber = nullptr;
};
