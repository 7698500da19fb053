#include "platform/MemoryStatus.h"

#include <QFile>
#include <QRegularExpression>

MemoryStatus MemoryStatus::fromMeminfo(const QString &text)
{
    MemoryStatus status;
    static const QRegularExpression line(QStringLiteral("^(\\w+):\\s+(\\d+)\\s*kB"),
                                         QRegularExpression::MultilineOption);
    auto it = line.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        const std::uint64_t bytes = match.captured(2).toULongLong() * 1024;
        const QString key = match.captured(1);
        if (key == QLatin1String("MemTotal"))
            status.totalPhys = bytes;
        else if (key == QLatin1String("MemAvailable"))
            status.availPhys = bytes;
        else if (key == QLatin1String("SwapTotal"))
            status.totalPageFile = bytes;
        else if (key == QLatin1String("SwapFree"))
            status.availPageFile = bytes;
    }
    return status;
}

MemoryStatus MemoryStatus::current()
{
    QFile file(QStringLiteral("/proc/meminfo"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return fromMeminfo(QString::fromLatin1(file.readAll()));
}
