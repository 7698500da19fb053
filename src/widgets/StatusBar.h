#pragma once

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
