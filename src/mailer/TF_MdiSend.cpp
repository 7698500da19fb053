#include "mailer/TF_Mdi.h"

#include "mailer/DisplayedLines.h"
#include "mailer/MailerSession.h"
#include "send/GroupSend.h"
#include "mailer/MdiSendStatus.h"
#include "platform/Prompts.h"
#include "send/SignatureFolder.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Preview.h"
#include "send/ThrottledSendStatus.h"
#include "platform/Clock.h"
#include "platform/TextFile.h"
#include "send/MessageFile.h"

#include <QComboBox>
#include <QDir>
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
    connect(&m_session.GroupSend(), &TGroupSend::Ended, this, &TF_Mdi::sendRunEnded);

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

bool TF_Mdi::readSignature(const QString &name, const QFont &font, QStringList &lines)
{
    QStringList fileLines;
    QString error;
    if (!TSignatureFolder(m_session.FilesFolder()).read(name, fileLines, &error)) {
        Prompt::error(error);
        return false;
    }
    mo_Signature->setFont(font);
    DisplayedLines::put(mo_Signature, fileLines);
    lines = DisplayedLines::of(mo_Signature);
    return true;
}

void TF_Mdi::bu_SendGrpMailClick()
{
    TF_NewMsg *message = F_NewMsg;
    if (!message || m_session.GroupSend().Busy())
        return;
    TDraftMessage &draft = m_session.Draft();
    if (!composeDraft(*message, draft))
        return;
    // Settings that stop the run stop it before the message is let go.
    if (!m_session.GroupSend().CheckSettings())
        return;
    m_shownStatus->setSendEnabled(false);
    // StartConnection: the run needs nothing more from the message window,
    // which comes back if nobody gets the message.
    m_sentMessage = message->contents();
    letGoOfMessageWindow(message);
    m_session.GroupSend().StartConnection(draft);
}

bool TF_Mdi::composeDraft(const TF_NewMsg &message, TDraftMessage &draft)
{
    if (message.co_Group->currentText().isEmpty()) {
        Prompt::error("You must choose a group first!");
        return false;
    }
    draft.Lines = DisplayedLines::of(message.mo_Message);
    const QString signature = message.co_Signature->currentText();
    if (signature != QLatin1String("None")) {
        QStringList signatureLines;
        if (!readSignature(signature, message.mo_Message->font(), signatureLines))
            return false;
        draft.Lines.append(signatureLines);
    }
    draft.Group = message.co_Group->currentText();
    draft.Subject = message.e_subject->text();
    return true;
}

void TF_Mdi::bu_PreviewClick()
{
    TF_NewMsg *message = F_NewMsg;
    if (!message)
        return;
    // A copy: the attachments are the session's, the rest is filled in here.
    TDraftMessage draft = m_session.Draft();
    if (!composeDraft(*message, draft))
        return;
    TF_Preview preview(this, m_session.DataModule(), draft,
                       [this](const TDraftMessage &shown, const TTestSend &test) { sendTest(shown, test); });
    preview.exec();
}

void TF_Mdi::sendTest(const TDraftMessage &draft, const TTestSend &test)
{
    if (m_session.GroupSend().Busy() || !m_session.GroupSend().CheckSettings())
        return;
    m_shownStatus->setSendEnabled(false);
    m_session.GroupSend().StartTest(draft, test);
}

void TF_Mdi::letGoOfMessageWindow(TF_NewMsg *message)
{
    // A run's waits put the window's deletion off to the run's end: until
    // then it must not take the commands of another message window, nor be
    // taken for the open one.
    for (QToolButton *command : {bu_Save, bu_Ladda, bu_AttachGrpMail})
        disconnect(command, nullptr, message, nullptr);
    F_NewMsg = nullptr;
    if (QWidget *frame = message->parentWidget())
        frame->close();
}

void TF_Mdi::sendRunEnded()
{
    const std::optional<TF_NewMsg::Contents> sent = std::exchange(m_sentMessage, std::nullopt);
    if (m_closeAfterRun) {
        // Once the run has left the waits it ran in.
        QMetaObject::invokeMethod(this, [this] { close(); }, Qt::QueuedConnection);
        return;
    }
    if (sent && m_session.GroupSend().Delivered() == 0)
        bringBackMessage(*sent);
}

void TF_Mdi::bringBackMessage(const TF_NewMsg::Contents &message)
{
    if (F_NewMsg && !F_NewMsg->isBlank()) {
        keepUnsentMessage(message);
        return;
    }
    Groupsend1Click();
    if (F_NewMsg)
        F_NewMsg->restore(message);
    else
        keepUnsentMessage(message);
}

void TF_Mdi::keepUnsentMessage(const TF_NewMsg::Contents &message)
{
    TMessageFile file;
    file.Text = TextFile::splitLines(message.Text);
    file.Group = message.Group;
    file.Signature = message.Signature;
    file.Attachments = message.Attachments;
    file.Subject = message.Subject;
    const QString folder = m_session.MessageFolder();
    const QString path = folder + "/UNSENT " + Clock::currentDateTime().toString("yyyy-MM-dd hh-mm-ss") + ".MSG";
    QString error = "the folder \"" + folder + "\" cannot be made";
    if (!QDir().mkpath(folder) || !file.Save(path, &error)) {
        Prompt::error("Nobody got the message to the group \"" + message.Group + "\", and it could not be kept: "
                      + error);
        return;
    }
    Prompt::information("Nobody got the message to the group \"" + message.Group
                        + "\". It is kept in the message file \"" + path + "\": \"Load message\" brings it back.");
}

void TF_Mdi::bu_StopClick()
{
    m_session.GroupSend().bu_StopClick();
}
