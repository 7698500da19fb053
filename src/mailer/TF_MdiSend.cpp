#include "mailer/TF_Mdi.h"

#include "mailer/DisplayedLines.h"
#include "platform/ErrorReport.h"
#include "mailer/GroupSend.h"
#include "platform/Prompts.h"
#include "mailer/SignatureFolder.h"
#include "widgets/StatusBar.h"
#include "mailer/TF_NewMsg.h"
#include "mailer/TF_Result.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QToolButton>

// The main window's part of a group send: it reads the open message window,
// starts the run and shows what the run reports.

void TF_Mdi::createSendRun()
{
    Wait1.Caption = "60";
    Wait1.setInterval(1000);
    Wait1.setVisible(false);
    SmtpClient.Port = "smtp";
    SmtpClient.setWait(&Wait1);
    SmtpClient.CharSet = "iso-8859-1";
    SmtpClient.TimeOut = 15;
    DialUp.setDialMode(TDialMode::dmSync);
    DialUp.setLanguage(TLanguage::English);
    DialUp.setBackend(CreateDialUpBackend());
    TSendStatus &status = *this;
    m_groupSend = std::make_unique<TGroupSend>(m_dm, SmtpClient, DialUp, Settings, status);

    // Laid out like a shown box but never on the screen, so its rows are
    // the rows the user would see.
    mo_Signature = new QPlainTextEdit(this);
    mo_Signature->setWindowFlags(Qt::Window);
    mo_Signature->setAttribute(Qt::WA_DontShowOnScreen);
    mo_Signature->setObjectName("mo_Signature");
    mo_Signature->setAccessibleName("mo_Signature");
    mo_Signature->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    mo_Signature->resize(361, 120);
    mo_Signature->show();

    connect(button("bu_SendGrpMail"), &QToolButton::clicked, this, &TF_Mdi::bu_SendGrpMailClick);
    connect(button("bu_Stop"), &QToolButton::clicked, this, &TF_Mdi::bu_StopClick);
    // Cancel is heard while the run waits for the server, when waits
    // swallow every other click.
    Wait1.AcceptInputOn(button("bu_Stop"));
}

void TF_Mdi::setDialUpBackendFactory(DialUpBackendFactory factory)
{
    m_dialUpBackendFactory = std::move(factory);
    DialUp.setBackend(CreateDialUpBackend());
}

bool TF_Mdi::readSignature(const QString &name, QStringList &lines)
{
    QStringList fileLines;
    QString error;
    if (!TSignatureFolder(m_programFolder).read(name, fileLines, &error)) {
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
    FMessageLines = DisplayedLines::of(message->mo_Message);
    const QString signature = message->co_Signature->currentText();
    if (signature != QLatin1String("None")) {
        QStringList signatureLines;
        if (!readSignature(signature, signatureLines))
            return;
        FMessageLines.append(signatureLines);
    }
    setSendEnabled(false);
    FSendGroup = message->co_Group->currentText();
    FSendSubject = message->e_subject->text();
    // StartConnection: the run needs nothing more from the message window.
    const TSendMessage run{FSendGroup, FSendSubject, FAttachedFiles, FMessageLines};
    if (QWidget *frame = message->parentWidget())
        frame->close();
    GroupSend().StartConnection(run);
}

void TF_Mdi::bu_StopClick()
{
    GroupSend().bu_StopClick();
}

void TF_Mdi::setPanelText(int panel, const QString &text)
{
    m_status->setPanelText(panel, text);
}

void TF_Mdi::setProgressRange(int maximum)
{
    m_status->pb()->setRange(0, maximum);
}

void TF_Mdi::setProgressPosition(int position)
{
    m_status->pb()->setValue(std::min(position, m_status->pb()->maximum()));
}

void TF_Mdi::showRunControls(bool shown)
{
    m_status->pb()->setVisible(shown);
    QToolButton *stop = button("bu_Stop");
    stop->setVisible(shown);
    stop->setEnabled(shown);
}

void TF_Mdi::setSendEnabled(bool enabled)
{
    button("bu_SendGrpMail")->setEnabled(enabled);
}

void TF_Mdi::showResults(const QStringList &log)
{
    TF_Result results(this, log);
    results.exec();
}
