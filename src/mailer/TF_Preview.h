#pragma once

#include "send/DraftMessage.h"
#include "send/GroupSend.h"
#include "send/MergePreview.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TDM_Databaser;

// The message as one member of its group will read it, a member at a time
// (previous, next), and "Send test": that member's message to the sender's
// own address, through the run, marked in the subject if the user wants.
class TF_Preview : public QDialog
{
    Q_OBJECT
public:
    static constexpr const char *TestMark = "[Test] ";

    using SendTest = std::function<void(const TDraftMessage &, const TTestSend &)>;
    TF_Preview(QWidget *parent, TDM_Databaser &dataModule, const TDraftMessage &message, SendTest sendTest);

    // Shows member number (1-based; the nearest there is).
    void showMember(int number);
    int shownMember() const { return m_shown ? m_shown->number : 0; }

    QLabel *la_Member;
    QLineEdit *e_PreviewSubject;
    QPlainTextEdit *mo_Preview;
    QPushButton *bu_Previous;
    QPushButton *bu_Next;
    QCheckBox *ch_TestMark;
    QPushButton *bu_SendTest;
    QPushButton *bu_Close;

    void bu_SendTestClick();

private:
    TMergePreview m_preview;
    const TDraftMessage m_message;
    const SendTest m_sendTest;
    std::optional<TMergePreview::Member> m_shown;
};
