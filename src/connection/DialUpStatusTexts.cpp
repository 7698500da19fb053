#include "connection/DialUpStatusTexts.h"

#include <algorithm>
#include <iterator>

namespace {

struct StateText
{
    qint32 state;
    const char16_t *english;
    const char16_t *czech;
};

// Ordered by state. The Czech wording, slips included, is the one users of
// the Czech build have always seen.
constexpr StateText stateTexts[] = {
    {0, u"Opening port", u"Otevírá se port"},
    {1, u"Port opened", u"Port otevřen"},
    {2, u"Connecting device", u"Probíhá spojování"},
    {3, u"Device connected", u"Navázáno spojení"},
    {4, u"All devices connected", u"Všechna zařízení spojena"},
    {5, u"Start authenticating", u"Začínají se ověřovat uživatelské informace"},
    {6, u"Authentication: notify", u"Ověření: oznámení"},
    {7, u"Authentication: retry", u"Ověření: opakování"},
    {8, u"Authentication: callback", u"Ověření: zpětné volání"},
    {9, u"Authentication: change password", u"Ověření: změna hesla"},
    {10, u"Authentication: projecting", u"Ověření: návrh"},
    {11, u"Authentication: link speed", u"Ověření: spojovací rychlost"},
    {12, u"Authentication: acknowledge", u"Ověření: potvrzení"},
    {13, u"Authentication: reauthenticate", u"Ověření: znovuověření"},
    {14, u"Authenticated", u"Ověřeno"},
    {15, u"Preparing for callback", u"Příprava na zpetné volání"},
    {16, u"Waiting for modem reset", u"Čeká se na reset modemu"},
    {17, u"Waiting for callback", u"Čeká se na zpětné volání"},
    {18, u"Projected", u"Navrhnuto"},
    {19, u"Start authentication", u"Ověřování uživatelských informací"},
    {20, u"Callback complete", u"Zpetné volání hotovo"},
    {21, u"Logging on network", u"Připojuje se na síť"},
    {4096, u"Interactive", u"Interakce"},
    {4097, u"Retry Authentication", u"Opakování oveření"},
    {4098, u"Callback set by caller", u"Zpeětné volání zvoleno uživatelem"},
    {4099, u"Password expired", u"Platnost hesla vypršela"},
    {8192, u"Connected", u"Spojeno"},
    {8193, u"Disconnected", u"Rozpojeno"},
};

}

QString dialUpStateText(qint32 state, TLanguage language)
{
    const auto found = std::lower_bound(std::begin(stateTexts), std::end(stateTexts), state,
                                        [](const StateText &entry, qint32 wanted) { return entry.state < wanted; });
    if (found == std::end(stateTexts) || found->state != state)
        return QString();
    return QString::fromUtf16(language == TLanguage::Czech ? found->czech : found->english);
}
