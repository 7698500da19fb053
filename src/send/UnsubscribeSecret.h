#pragma once

#include "platform/SecretStore.h"

#include <QByteArray>
#include <QString>
#include <optional>

// The secret the unsubscribe tokens of one store are made under: random
// bytes drawn the first time a store needs them and kept in the secret store
// under the store's identity, so both programs, and every later run, make and
// check the same tokens. Never kept in a file: where no secret store answers
// there is none, and the run sends no token.
namespace UnsubscribeSecret {

QString KeyFor(const QString &storeIdentity);

// The store's secret, made and kept now if it has none yet. Nothing, with
// failure set to a line for the run's log, when the secret store does not
// answer or does not keep it.
std::optional<QByteArray> obtain(SecretStore &store, const QString &storeIdentity, QString &failure);

} // namespace UnsubscribeSecret
