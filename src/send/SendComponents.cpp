#include "send/SendComponents.h"

#include "platform/KeychainSecretStore.h"

TSendComponents::TSendComponents(std::unique_ptr<DialUpBackend> dialUpBackend)
    : DialUp(std::move(dialUpBackend)), Login(std::make_unique<KeychainSecretStore>())
{
    // Only what differs from the classes' own defaults: the client waits in
    // Wait1, and dialling holds the run until it has succeeded or failed.
    SmtpClient.setWait(&Wait1);
    DialUp.setDialMode(TDialMode::dmSync);
}
