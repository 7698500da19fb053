#include "mailer/MailerSession.h"

#include "platform/ErrorReport.h"
#include "send/GroupSend.h"
#include "send/SignatureFolder.h"

TMailerSession::TMailerSession(TDM_Databaser &dataModule, const QString &filesFolder,
                               DialUpBackendFactory dialUpBackends)
    : m_dm(dataModule),
      m_filesFolder(filesFolder),
      m_dialUpBackends(std::move(dialUpBackends)),
      m_components(CreateDialUpBackend())
{
    LoadSettings();
}

TMailerSession::~TMailerSession() = default;

void TMailerSession::LoadSettings()
{
    Settings.LoadSettings(IniFileName());
}

bool TMailerSession::ScanSignatures()
{
    return reportErrors([this] { FSignatureNames = TSignatureFolder(m_filesFolder).scanNames(); });
}

void TMailerSession::AttachGroupSend(TSendStatus &status, QObject &cancel)
{
    m_groupSend = std::make_unique<TGroupSend>(m_dm, m_components, Settings, status);
    m_components.Wait1.AcceptInputOn(&cancel);
}

void TMailerSession::DetachGroupSend()
{
    m_groupSend.reset();
}
