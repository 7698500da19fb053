#include "transport/WireText.h"

WireText::WireText(const QString &charset)
    : m_charset(charset),
      m_encoder(charset.toLatin1().constData(), QStringConverter::Flag::Stateless),
      m_decoder(charset.toLatin1().constData(), QStringConverter::Flag::Stateless),
      m_valid(m_encoder.isValid() && m_decoder.isValid()),
      m_utf8(m_valid && QStringConverter::encodingForName(charset.toLatin1().constData()) == QStringConverter::Utf8)
{
}

bool WireText::isAscii(const QByteArray &bytes)
{
    for (const char byte : bytes)
        if (static_cast<unsigned char>(byte) >= 0x80)
            return false;
    return true;
}

bool WireText::isAscii(const QString &text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return false;
    return true;
}

QByteArray WireText::encode(const QString &text)
{
    if (isAscii(text) || !m_valid)
        return text.toLatin1();
    if (m_utf8)
        return text.toUtf8();
    m_encoder.resetState();
    return m_encoder.encode(text);
}

bool WireText::canEncode(const QString &text)
{
    if (isAscii(text) || m_utf8)
        return true;
    if (!m_valid)
        return false;
    // The encoder puts "?" for characters it cannot map; a text that comes
    // back different from what went in had such characters.
    m_encoder.resetState();
    m_decoder.resetState();
    const QByteArray bytes = m_encoder.encode(text);
    return m_decoder.decode(bytes) == text;
}

QString WireText::decode(const QByteArray &bytes)
{
    if (isAscii(bytes) || !m_valid)
        return QString::fromLatin1(bytes);
    if (m_utf8)
        return QString::fromUtf8(bytes);
    m_decoder.resetState();
    return m_decoder.decode(bytes);
}
