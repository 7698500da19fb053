#include "transport/SmtpReply.h"

#include <QRegularExpression>
#include <algorithm>
#include <limits>

namespace {

// A run of digits longer than any code must not overflow.
constexpr int CodeCeiling = 1'000'000;

int codeOf(const QString &line)
{
    qsizetype i = 0;
    while (i < line.size() && QStringLiteral(" \t\r\n").contains(line.at(i)))
        ++i;
    int code = 0;
    for (; i < line.size() && line.at(i).unicode() >= '0' && line.at(i).unicode() <= '9'; ++i)
        code = std::min(code * 10 + (line.at(i).unicode() - '0'), CodeCeiling);
    return code;
}

} // namespace

QString TSmtpReply::enhancedCode(const QString &line)
{
    // "2.0.0", "4.7.1", "5.1.10": class, subject and detail.
    static const QRegularExpression pattern(QStringLiteral("^([245])[0-9][0-9][ -](\\1\\.[0-9]{1,3}\\.[0-9]{1,3})(?=[ \\t]|$)"));
    const QRegularExpressionMatch match = pattern.match(line);
    return match.hasMatch() ? match.captured(2) : QString();
}

TSmtpReply::TSmtpReply(qint64 timeLimitMs)
    : m_deadline(timeLimitMs < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(timeLimitMs))
{
}

QString TSmtpReply::lineText(const QByteArray &raw)
{
    QString text = QString::fromLatin1(raw);
    text.replace(QChar(0), QLatin1String("\\0"));
    return text;
}

void TSmtpReply::addLine(const QString &line)
{
    m_lastLine = line;
    m_code = codeOf(line);
    m_complete = !(line.size() >= 4 && line.at(3) == QLatin1Char('-'));
    m_size += line.size() + 2;
}

int TSmtpReply::remainingCounts(int countMs) const
{
    if (m_deadline.isForever())
        return std::numeric_limits<int>::max();
    const qint64 left = m_deadline.remainingTime();
    if (left <= 0)
        return 0;
    const qint64 step = std::max(countMs, 1);
    return static_cast<int>(std::min<qint64>((left + step - 1) / step, std::numeric_limits<int>::max()));
}
