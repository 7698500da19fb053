#include "transport/MessageText.h"

#include "transport/MessageHeader.h"
#include "transport/QuotedPrintable.h"
#include "transport/WireText.h"

namespace {

// No line of a message may be longer, CR LF not counted (RFC 5322 2.1.1).
constexpr qsizetype LineLimit = 998;

QString charsetHolding(const QStringList &lines, const QString &charset, const QStringList &alsoIn)
{
    WireText wire(charset);
    auto held = [&wire](const QString &text) { return wire.canEncode(text); };
    const bool holds = wire.isValid() && std::all_of(lines.cbegin(), lines.cend(), held)
                       && std::all_of(alsoIn.cbegin(), alsoIn.cend(), held);
    return holds ? charset : QStringLiteral("utf-8");
}

} // namespace

MessageText::MessageText(QStringList lines, const QString &charset, const QStringList &alsoIn)
    : m_lines(std::move(lines))
{
    for (QString &line : m_lines)
        line = MessageHeader::singleLine(line);
    m_charset = charsetHolding(m_lines, charset, alsoIn);
    WireText wire(m_charset);
    m_octets.reserve(m_lines.size());
    for (const QString &line : std::as_const(m_lines)) {
        m_octets.append(wire.encode(line));
        m_eightBit = m_eightBit || !WireText::isAscii(m_octets.last());
        m_longLines = m_longLines || m_octets.last().size() > LineLimit;
    }
}

TransferEncoding MessageText::encoding(bool eightBitTransport) const
{
    if (m_longLines || (m_eightBit && !eightBitTransport))
        return TransferEncoding::QuotedPrintable;
    return m_eightBit ? TransferEncoding::EightBit : TransferEncoding::SevenBit;
}

MessageText::Encoded MessageText::encoded(TransferEncoding encoding) const
{
    Encoded result;
    if (encoding == TransferEncoding::QuotedPrintable) {
        for (const QByteArray &octets : m_octets)
            result.lines += QuotedPrintable::encodeLine(octets);
        for (const QByteArray &line : std::as_const(result.lines))
            result.octets += line.size() + 2;
        return result;
    }
    result.lines.reserve(m_lines.size());
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        result.lines.append(m_lines.at(i).toUtf8());
        result.octets += m_octets.at(i).size() + 2;
    }
    return result;
}
