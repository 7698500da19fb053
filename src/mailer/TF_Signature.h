#pragma once

#include "send/SignatureFolder.h"

#include <QWidget>
#include <functional>

class QTreeWidget;
class TMailerSession;
class TF_Sign;

// The signature list: one item per signature name of the session's list.
// While it is the active child the main window shows the signature tool
// panel, whose three commands it wires to act on the selected signature.
class TF_Signature : public QWidget
{
    Q_OBJECT
public:
    explicit TF_Signature(TMailerSession &session, QWidget *parent = nullptr);
    // The client size the window opens with in its frame.
    QSize sizeHint() const override { return {187, 273}; }

    QTreeWidget *SignatureList;

    void FormActivate();
    void bu_NySignaturClick();
    void bu_EditSignaturClick();
    void bu_DeleteSignaturClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool event(QEvent *event) override;

private:
    // Stores what the editor holds after OK; false when it cannot be saved.
    using StoreEdited = std::function<bool(const QString &name, const QStringList &lines)>;
    // Shows the editor with name and lines; after OK stores the result,
    // warning when that fails. The list is rescanned in every case.
    void runEditor(const QString &name, const QStringList &lines, const StoreEdited &store);
    void rescan();
    // The selected signature's name, or empty after warning that there is none.
    QString selectedName();

    TMailerSession &m_session;
    TSignatureFolder m_folder;
};
