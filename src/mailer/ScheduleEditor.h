#pragma once

#include "widgets/MessageFileDialog.h"
#include "widgets/RecordNavigator.h"

#include <QWidget>

class TDBGrid;
class TDM_Databaser;

// The agent program has a window of the same name; this one is the mailer's.
namespace mailer {

// The schedule editor, captioned "Schedule": the agent's scheduled sends in
// the grid gr_Agent (group chosen from the groups, date, time and message
// file). Rows are inserted, edited, posted, cancelled and deleted through the
// record navigator on the main window's pa_Agent panel, and through the keys
// the window sees before its controls.
class TF_Agent : public QWidget
{
    Q_OBJECT
public:
    static constexpr int MsgFileColumn = 3;

    TF_Agent(TDM_Databaser &dataModule, TDBNavigator &navigator, const QString &messageFolder,
             QWidget *parent = nullptr);
    // The client size the window opens with: the four columns side by side.
    QSize sizeHint() const override;

    TDBGrid *gr_Agent;
    // The file dialog od; tests answer in its place.
    TFileChoice chooseMessageFile;

    // In the Messagefile column of a row being edited or inserted: asks for
    // a message file in the message folder and writes the chosen path.
    void PickMessageFile();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // A key of the window (with Ctrl) and the navigator button it presses
    // in which state.
    struct WindowKey
    {
        int key;
        TDBNavigator::Button button;
        enum { Always, Browsing, Editing } when;
    };
    static const WindowKey *findWindowKey(int key, Qt::KeyboardModifiers modifiers);
    void FormKeyDown(const WindowKey &key);
    bool editing() const;
    void askForPick();

    TDM_Databaser &m_dm;
    TDBNavigator &m_navigator;
    QString m_messageFolder;
    bool m_pickAsked = false;
};

}
