#pragma once

#include <QString>
#include <QtGlobal>

enum class TLanguage { English, Czech };

// The words for a dial-up connection state; a state without words gives an
// empty text.
QString dialUpStateText(qint32 state, TLanguage language);
