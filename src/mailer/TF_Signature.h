#pragma once

#include "SignatureFolder.h"

#include <QWidget>

class QTreeWidget;
class TF_Mdi;
class TF_Sign;

// The signature list: one item per signature name of the main window's list.
// While it is the active child the main window shows the signature tool
// panel, whose three commands act on the selected signature.
class TF_Signature : public QWidget
{
    Q_OBJECT
public:
    explicit TF_Signature(TF_Mdi &mdi, QWidget *parent = nullptr);
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
    void rescan();
    // The selected signature's name, or empty after warning that there is none.
    QString selectedName();

    TF_Mdi &m_mdi;
    TSignatureFolder m_folder;
};
