#pragma once

#include "connection/DialUp.h"

#include <QStringList>

// Binds every event of a TDialUp and writes each call down as one line, so a
// test can compare the whole sequence at once.
class DialUpEventLog
{
public:
    explicit DialUpEventLog(TDialUp &dialUp)
    {
        dialUp.OnEntryGet = [this](TDialUp *, const QString &name) { lines << "EntryGet " + name; };
        dialUp.OnDialing = [this](TDialUp *) { lines << "Dialing"; };
        dialUp.OnConnect = [this](TDialUp *) { lines << "Connect"; };
        dialUp.OnNotConnected = [this](TDialUp *, qint32 code, const QString &text) {
            lines << QStringLiteral("NotConnected %1 %2").arg(code).arg(text);
        };
        dialUp.OnError = [this](TDialUp *, qint32 code, const QString &text) {
            lines << QStringLiteral("Error %1 %2").arg(code).arg(text);
        };
        dialUp.OnAsyncEvent = [this](TDialUp *, qint32 state, qint32 error, const QString &text) {
            lines << QStringLiteral("AsyncEvent %1 %2 %3").arg(state).arg(error).arg(text);
        };
        dialUp.OnActiveConnection = [this](TDialUp *, quint32 handle, const TRasConnStatus &status,
                                           const QString &statusText, const QString &entry,
                                           const QString &deviceType, const QString &deviceName) {
            lines << QStringLiteral("ActiveConnection %1 %2 %3/%4 [%5] %6 %7")
                         .arg(handle)
                         .arg(entry)
                         .arg(status.State)
                         .arg(status.Error)
                         .arg(statusText, deviceType, deviceName);
        };
    }

    QStringList lines;
};
