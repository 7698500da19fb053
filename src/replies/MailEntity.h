#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <utility>

// A header block and a body, as one message or one MIME part (RFC 5322,
// RFC 2045/2046), read from bytes that may be cut short or malformed.
class MailEntity
{
public:
    // Splits bytes at the first empty line; headerEnded() is false when no
    // empty line closes the header within them.
    explicit MailEntity(const QByteArray &bytes);

    bool headerEnded() const { return m_headerEnded; }
    // The first field of that name (case ignored), unfolded and trimmed.
    QByteArray field(const char *name) const;
    // A field's text with its encoded words (RFC 2047) decoded.
    QString text(const char *name) const;
    // Content-Type's type/subtype in lower case ("text/plain" by default)
    // and one of its parameters.
    QByteArray contentType() const;
    QByteArray contentParameter(const char *name) const;
    // The body with its Content-Transfer-Encoding (base64,
    // quoted-printable) undone.
    QByteArray decodedBody() const;
    const QByteArray &body() const { return m_body; }

    // The parts of a multipart entity that its boundary closes; a part the
    // bytes break off in does not count. Nested at most depth levels.
    using Visit = std::function<void(const MailEntity &part)>;
    void walk(const Visit &visit, int depth = 8) const;

    static QString decodeWords(const QByteArray &value);

private:
    QList<std::pair<QByteArray, QByteArray>> m_fields;
    QByteArray m_body;
    bool m_headerEnded = false;
};
