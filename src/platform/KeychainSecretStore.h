#pragma once

#include "platform/SecretStore.h"

// The desktop's secret store (the Secret Service over D-Bus) through
// QtKeychain. Never falls back to a plain file: without a store every call
// answers Unavailable. A call waits for the store in a nested event loop.
class KeychainSecretStore : public SecretStore
{
public:
    Answer read(const QString &key) override;
    Answer write(const QString &key, const QString &secret) override;
};
