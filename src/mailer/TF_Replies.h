#pragma once

#include <QWidget>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;
class QTimer;
class TMailerSession;
class TReplyProcessing;

// "Process replies...": reads an mbox file or a Maildir folder that a mail
// client keeps, a slice at a time so the program stays live, shows the
// addresses its delivery reports and unsubscribe requests name and what was
// skipped, and on OK suppresses those addresses in one transaction.
class TF_Replies : public QWidget
{
    Q_OBJECT
public:
    explicit TF_Replies(TMailerSession &session, QWidget *parent = nullptr);
    ~TF_Replies() override;

    QLineEdit *ed_Folder;
    QPushButton *bu_File;
    QPushButton *bu_Maildir;
    QPushButton *bu_Read;
    QLabel *la_Progress;
    QTableWidget *gr_Found;
    QPlainTextEdit *mo_Skipped;
    QPushButton *bu_Ok;
    QPushButton *bu_Cancel;

    // Ask for an mbox file and for a Maildir folder; empty when cancelled.
    // Tests answer in the dialogs' place.
    std::function<QString()> chooseMboxFile;
    std::function<QString()> chooseMaildir;

    void bu_ReadClick();
    void bu_OkClick();
    bool Reading() const;

    // How long one slice of reading holds the event loop.
    static constexpr int SliceMs = 40;

private:
    void readSlice();
    void showResult();

    TMailerSession &m_session;
    std::unique_ptr<TReplyProcessing> m_processing;
    QTimer *m_slices;
};
