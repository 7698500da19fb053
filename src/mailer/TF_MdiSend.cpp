#include "mailer/TF_Mdi.h"

#include "mailer/DisplayedLines.h"
#include "mailer/MailerSession.h"
#include "send/GroupSend.h"
#include "mailer/MdiSendStatus.h"
#include "platform/Prompts.h"
#include "send/SignatureFolder.h"
#include "mailer/TF_NewMsg.h"
#include "send/ThrottledSendStatus.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QToolButton>

// The main window's part of a group send: it reads the open message window,
// starts the run and shows what the run reports.

void TF_Mdi::createSendRun()
{
    m_sendStatus = std::make_unique<TMdiSendStatus>(*m_status, *bu_SendGrpMail, *bu_Stop, *this);
    m_shownStatus = std::make_unique<TThrottledSendStatus>(*m_sendStatus);
    // Cancel is heard while the run waits for the server, when waits
    // swallow every other click.
    m_session.AttachGroupSend(*m_shownStatus, *bu_Stop);

    // Laid out like a shown box but never on the screen, so its rows are
    // the rows the user would see.
    mo_Signature = new QPlainTextEdit(this);
    mo_Signature->setWindowFlags(Qt::Window);
    mo_Signature->setAttribute(Qt::WA_DontShowOnScreen);
    mo_Signature->setObjectName("mo_Signature");
    mo_Signature->setAccessibleName("mo_Signature");
    mo_Signature->setAccessibleDescription("Signature text laid out as the message text, never shown");
    mo_Signature->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mo_Signature->resize(361, 120);
    mo_Signature->show();
}

bool TF_Mdi::readSignature(const QString &name, QStringList &lines)
{
    QStringList fileLines;
    QString error;
    if (!TSignatureFolder(m_session.FilesFolder()).read(name, fileLines, &error)) {
        Prompt::error(error);
        return false;
    }
    DisplayedLines::put(mo_Signature, fileLines);
    lines = DisplayedLines::of(mo_Signature);
    return true;
}

void TF_Mdi::bu_SendGrpMailClick()
{
    TF_NewMsg *message = F_NewMsg;
    if (!message || m_session.GroupSend().Busy())
        return;
    if (message->co_Group->currentText().isEmpty()) {
        Prompt::error("You must choose a group first!");
        return;
    }
    TDraftMessage &draft = m_session.Draft();
    draft.Lines = DisplayedLines::of(message->mo_Message);
    const QString signature = message->co_Signature->currentText();
    if (signature != QLatin1String("None")) {
        QStringList signatureLines;
        if (!readSignature(signature, signatureLines))
            return;
        draft.Lines.append(signatureLines);
    }
    m_shownStatus->setSendEnabled(false);
    draft.Group = message->co_Group->currentText();
    draft.Subject = message->e_subject->text();
    // StartConnection: the run needs nothing more from the message window.
    if (QWidget *frame = message->parentWidget())
        frame->close();
    m_session.GroupSend().StartConnection(draft);
}

void TF_Mdi::bu_StopClick()
{
    m_session.GroupSend().bu_StopClick();
}
