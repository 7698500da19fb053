#include "mailer/AboutInfo.h"

namespace AboutInfo {

QString memoryLine(std::uint64_t availableBytes, std::uint64_t totalBytes)
{
    const std::uint64_t hundredth = totalBytes / 100;
    const std::uint64_t percent = hundredth == 0 ? 0 : availableBytes / hundredth;
    return QString::number(percent) + QStringLiteral(" %") + QStringLiteral("  (") + QString::number(totalBytes / 1000000)
           + QStringLiteral(" Mb)");
}

}
