#include "send/SendComponents.h"

#include "platform/KeychainSecretStore.h"

TSendComponents::TSendComponents(std::unique_ptr<DialUpBackend> dialUpBackend)
    : DialUp(std::move(dialUpBackend)), Login(std::make_unique<KeychainSecretStore>())
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
}
