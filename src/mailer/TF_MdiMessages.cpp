#include "mailer/TF_Mdi.h"

#include "mailer/ChildActivation.h"
#include "mailer/MailerSession.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Signature.h"

#include <QToolButton>

// The main window's commands for signatures and the message window.

template <typename Child>
void TF_Mdi::OpenPanelChild(QPointer<Child> &instance, std::initializer_list<PanelCommand<Child>> commands)
{
    OpenChild(instance, [this, &commands] {
        auto *child = new Child(m_session);
        for (const auto &[button, handler] : commands)
            connect(button, &QToolButton::clicked, child, handler);
        onChildActivated(child, mdiArea(), [child] { child->FormActivate(); });
        return child;
    });
}

void TF_Mdi::Editsignature1Click()
{
    OpenPanelChild(F_Signature, {{bu_NySignatur, &TF_Signature::bu_NySignaturClick},
                                 {bu_EditSignatur, &TF_Signature::bu_EditSignaturClick},
                                 {bu_DeleteSignatur, &TF_Signature::bu_DeleteSignaturClick}});
}

void TF_Mdi::Groupsend1Click()
{
    if (m_session.ScanSignatures())
        OpenPanelChild(F_NewMsg, {{bu_Save, &TF_NewMsg::bu_SaveClick},
                                  {bu_Ladda, &TF_NewMsg::bu_LaddaClick},
                                  {bu_AttachGrpMail, &TF_NewMsg::bu_AttachGrpMailClick}});
}
