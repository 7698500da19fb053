#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

// Text on the wire: the bytes of the charset a message names. Plain ASCII,
// which is most of a message, passes without conversion.
class WireText
{
public:
    explicit WireText(const QString &charset = QStringLiteral("iso-8859-1"));

    bool isValid() const { return m_valid; }
    QString charset() const { return m_charset; }

    QByteArray encode(const QString &text);
    // True when every character of the text exists in the charset.
    bool canEncode(const QString &text);
    QString decode(const QByteArray &bytes);

    static bool isAscii(const QByteArray &bytes);
    static bool isAscii(const QString &text);

private:
    QString m_charset;
    QStringEncoder m_encoder;
    QStringDecoder m_decoder;
    bool m_valid;
    // UTF-8 holds every character: Qt's own conversion, without a codec.
    bool m_utf8;
};
