#include "send/GroupListHeaders.h"

#include "send/MailerSettings.h"
#include "send/UnsubscribeSecret.h"
#include "store/DM_Databaser.h"

std::optional<TListHeaders> listHeadersForRun(TDM_Databaser &dataModule, SecretStore *secrets,
                                              const TMailerSettings &settings, const QString &group, QString &note)
{
    note.clear();
    if (!dataModule.ListHeadersFor(group))
        return std::nullopt;
    std::optional<UnsubscribeToken> tokens;
    if (!secrets) {
        note = QStringLiteral("No unsubscribe token in this run: this program has no secret store");
    } else if (const std::optional<QByteArray> secret =
                   UnsubscribeSecret::obtain(*secrets, dataModule.StoreIdentity(), note)) {
        tokens.emplace(*secret);
    }
    return TListHeaders(group, settings.FUserEmail, settings.FUnsubscribeMailto, settings.FUnsubscribeUrl,
                        std::move(tokens));
}
