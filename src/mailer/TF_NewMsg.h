#pragma once

#include "send/MessageFile.h"
#include "widgets/MessageFileDialog.h"

#include <QWidget>
#include <functional>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class TDataSetModel;
class TMailerSession;

// The message window: group, signature, attached files, subject and text of
// one message, which can be saved to a message file and loaded from one.
// The attached files are those of the session's draft. The main window
// wires the commands of its message panel to the window's handlers.
class TF_NewMsg : public QWidget
{
    Q_OBJECT
public:
    // Asks for a message file in the file dialog; empty when cancelled.
    using FileChoice = TFileChoice;

    explicit TF_NewMsg(TMailerSession &session, QWidget *parent = nullptr);
    // The client size the window opens with in its frame.
    QSize sizeHint() const override { return {424, 341}; }

    QComboBox *co_Group;
    QComboBox *co_Signature;
    QLabel *Label4;
    QComboBox *co_AttachedFiles;
    QLineEdit *e_subject;
    QPlainTextEdit *mo_Message;

    FileChoice chooseSaveFile;
    FileChoice chooseOpenFile;
    // The folder the attachment picker opens in: the user's home at first,
    // then the folder the picker was last confirmed in.
    QString pickerFolder;

    QString MessageFolder() const;

    // What the user composed here, as it stands: the chosen group, the
    // signature box, the attached files (kept and shown), the subject and
    // the text with its paragraphs.
    struct Contents
    {
        QString Group;
        QString Signature;
        QStringList Attachments;
        QStringList ShownAttachments;
        QString Subject;
        QString Text;
    };
    Contents contents() const;
    // Puts contents back into the window; a group that is gone stays
    // unchosen.
    void restore(const Contents &contents);
    // Nothing composed yet: no group, text, subject or attachment.
    bool isBlank() const;

    void FormActivate();
    void bu_SaveClick();
    void bu_LaddaClick();
    void bu_AttachGrpMailClick();

private:
    TMessageFile composedMessage() const;
    // Shows entries in the attachments box and the number of attached files.
    void showAttachments(const QStringList &entries);
    // A listed name is selected in the list; any other is shown as it stands.
    void showSignature(const QString &name);
    void groupChosen(int row);
    void keepChosenGroup();

    TMailerSession &m_session;
    TDataSetModel *m_groups;
    QString m_chosenGroup;
    bool m_activated = false;
    std::optional<QString> m_restoredSignature;
};
