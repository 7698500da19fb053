#include "mailer/TF_Mdi.h"

#include "platform/ErrorReport.h"
#include "send/SignatureFolder.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Signature.h"
#include "widgets/ToolPanel.h"

#include <QAction>
#include <QToolButton>

// The main window's commands for signatures and the message window.

void TF_Mdi::connectMessageCommands()
{
    auto enable = [this](QAction *action, QToolButton *toolButton, void (TF_Mdi::*handler)()) {
        action->setEnabled(true);
        toolButton->setEnabled(true);
        connect(action, &QAction::triggered, this, handler);
        connect(toolButton, &QToolButton::clicked, this, handler);
    };
    enable(menuAction("Editsignature1"), button("bu_Signatur"), &TF_Mdi::Editsignature1Click);
    enable(menuAction("Groupsend1"), button("bu_SendGrp"), &TF_Mdi::Groupsend1Click);
    bindToolPanel(TF_Signature::staticMetaObject, pa_Signature());
    bindToolPanel(TF_NewMsg::staticMetaObject, pa_NewMsg());
}

bool TF_Mdi::ScanSignatures()
{
    return reportErrors([this] { FSignatureNames = TSignatureFolder(m_filesFolder).scanNames(); });
}

void TF_Mdi::Editsignature1Click()
{
    OpenChild(F_Signature, [this] { return new TF_Signature(*this); });
}

void TF_Mdi::Groupsend1Click()
{
    if (ScanSignatures())
        OpenChild(F_NewMsg, [this] { return new TF_NewMsg(*this); });
}
