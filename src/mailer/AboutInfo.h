#pragma once

#include <QString>
#include <cstdint>

// The texts of the About box.
namespace AboutInfo {
inline const QString ProgramName = QStringLiteral("Corvane 98 Professional");
inline const QString Version = QStringLiteral("2.0");
inline const QString Maker = QStringLiteral("Tamberlo");

// "25 %  (64 Mb)": the free share in whole percent of the total, then the
// total in millions of bytes. A total under 100 bytes (no swap at all)
// shows 0 % rather than dividing by zero.
QString memoryLine(std::uint64_t availableBytes, std::uint64_t totalBytes);
}
