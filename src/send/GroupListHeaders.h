#pragma once

#include "send/ListHeaders.h"

#include <QString>
#include <optional>

class SecretStore;
class TDM_Databaser;
class TMailerSettings;

// The list headers of a run to group: nothing when the group's switch is
// off, so its messages are the bytes they always were. Where no secret can
// be had (no secret store, or one that does not answer) the messages carry
// List-Id alone, and note gets the line that tells the log why.
std::optional<TListHeaders> listHeadersForRun(TDM_Databaser &dataModule, SecretStore *secrets,
                                              const TMailerSettings &settings, const QString &group, QString &note);
