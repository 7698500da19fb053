#include "transport/SmtpReply.h"

#include <algorithm>

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

void TSmtpReply::addLine(const QString &line)
{
    m_lastLine = line;
    m_code = codeOf(line);
    m_complete = !(line.size() >= 4 && line.at(3) == QLatin1Char('-'));
}
