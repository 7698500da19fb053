#include "transport/QuotedPrintable.h"

namespace QuotedPrintable {

namespace {

bool isContinuation(unsigned char octet)
{
    return (octet & 0xC0) == 0x80;
}

void appendOctet(QByteArray &to, unsigned char octet, bool last)
{
    static const char hex[] = "0123456789ABCDEF";
    const bool blank = octet == ' ' || octet == '\t';
    const bool literal = (octet >= 33 && octet <= 126 && octet != '=') || (blank && !last);
    if (literal) {
        to += static_cast<char>(octet);
        return;
    }
    to += '=';
    to += hex[octet >> 4];
    to += hex[octet & 0x0F];
}

} // namespace

QList<QByteArray> encodeLine(QByteArrayView octets)
{
    QList<QByteArray> lines;
    QByteArray line;
    QByteArray unit;
    const qsizetype size = octets.size();
    for (qsizetype i = 0; i < size;) {
        // One character: an octet, and the continuation octets after one
        // above ASCII.
        unit.clear();
        qsizetype end = i + 1;
        if (static_cast<unsigned char>(octets[i]) >= 0x80)
            while (end < size && isContinuation(static_cast<unsigned char>(octets[end])))
                ++end;
        for (qsizetype j = i; j < end; ++j)
            appendOctet(unit, static_cast<unsigned char>(octets[j]), j + 1 == size);
        const bool lastUnit = end == size;
        // The last line may use the column a soft break would take.
        const qsizetype room = lastUnit ? LineLength : LineLength - 1;
        if (!line.isEmpty() && line.size() + unit.size() > room) {
            lines.append(line + '=');
            line.clear();
        }
        line += unit;
        i = end;
    }
    lines.append(line);
    return lines;
}

} // namespace QuotedPrintable
