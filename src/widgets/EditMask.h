#pragma once

#include <QString>

// Edit masks as the fields give them ("!0000/00/00;1;_": the mask, whether
// literals are kept, the blank character), turned into Qt's input masks.
namespace EditMask {
// The Qt input mask for a field's edit mask; empty for an empty one.
QString toInputMask(const QString &fieldMask);
// True when masked text holds nothing but the mask's literals.
bool isBlank(const QString &maskedText);
}
