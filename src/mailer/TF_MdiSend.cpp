#include "mailer/TF_Mdi.h"

#include "mailer/DisplayedLines.h"
#include "platform/ErrorReport.h"
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
    m_sendStatus = std::make_unique<TMdiSendStatus>(*m_status, *button("bu_SendGrpMail"), *button("bu_Stop"), *this);
    m_shownStatus = std::make_unique<TThrottledSendStatus>(*m_sendStatus);
    m_groupSend = std::make_unique<TGroupSend>(m_dm, m_sendComponents, Settings, *m_shownStatus);

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

    connect(button("bu_SendGrpMail"), &QToolButton::clicked, this, &TF_Mdi::bu_SendGrpMailClick);
    connect(button("bu_Stop"), &QToolButton::clicked, this, &TF_Mdi::bu_StopClick);
    // Cancel is heard while the run waits for the server, when waits
    // swallow every other click.
    m_sendComponents.Wait1.AcceptInputOn(button("bu_Stop"));
}

void TF_Mdi::setDialUpBackendFactory(DialUpBackendFactory factory)
{
    m_dialUpBackendFactory = std::move(factory);
    m_sendComponents.DialUp.setBackend(CreateDialUpBackend());
}

bool TF_Mdi::readSignature(const QString &name, QStringList &lines)
{
    QStringList fileLines;
    QString error;
    if (!TSignatureFolder(m_filesFolder).read(name, fileLines, &error)) {
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
    if (!message || GroupSend().Busy())
        return;
    if (message->co_Group->currentText().isEmpty()) {
        Prompt::error("You must choose a group first!");
        return;
    }
    m_draft.Lines = DisplayedLines::of(message->mo_Message);
    const QString signature = message->co_Signature->currentText();
    if (signature != QLatin1String("None")) {
        QStringList signatureLines;
        if (!readSignature(signature, signatureLines))
            return;
        m_draft.Lines.append(signatureLines);
    }
    m_shownStatus->setSendEnabled(false);
    m_draft.Group = message->co_Group->currentText();
    m_draft.Subject = message->e_subject->text();
    // StartConnection: the run needs nothing more from the message window.
    if (QWidget *frame = message->parentWidget())
        frame->close();
    GroupSend().StartConnection(m_draft);
}

void TF_Mdi::bu_StopClick()
{
    GroupSend().bu_StopClick();
}
