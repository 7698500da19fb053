#include "replies/MailEntity.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {

QByteArray withoutCr(QByteArray line)
{
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

QByteArray decodeQuotedPrintable(const QByteArray &in, bool underscoreIsSpace)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in.at(i);
        if (c == '=' && i + 1 < in.size() && (in.at(i + 1) == '\n' || in.at(i + 1) == '\r')) {
            i += in.at(i + 1) == '\r' && i + 2 < in.size() && in.at(i + 2) == '\n' ? 2 : 1;
        } else if (c == '=' && i + 2 < in.size() && std::isxdigit(uchar(in.at(i + 1))) && std::isxdigit(uchar(in.at(i + 2)))) {
            out.append(char(QByteArray(in.constData() + i + 1, 2).toInt(nullptr, 16)));
            i += 2;
        } else {
            out.append(underscoreIsSpace && c == '_' ? ' ' : c);
        }
    }
    return out;
}

QString decodeCharset(const QByteArray &charset, const QByteArray &bytes)
{
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid())
        return QString::fromLatin1(bytes);
    return decoder.decode(bytes);
}

} // namespace

MailEntity::MailEntity(const QByteArray &bytes)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', at);
        const bool lastLine = end < 0;
        if (lastLine)
            end = bytes.size();
        const QByteArray line = withoutCr(bytes.mid(at, end - at));
        at = end + 1;
        if (line.isEmpty() && !lastLine) {
            m_headerEnded = true;
            m_body = bytes.mid(at);
            return;
        }
        if (lastLine)
            break; // a header line the bytes break off in
        if ((line.startsWith(' ') || line.startsWith('\t')) && !m_fields.isEmpty()) {
            m_fields.last().second += ' ' + line.trimmed();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            m_fields.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
    }
}

QByteArray MailEntity::field(const char *name) const
{
    const QByteArray key = QByteArray(name).toLower();
    for (const auto &[fieldName, value] : m_fields) {
        if (fieldName == key)
            return value;
    }
    return {};
}

QString MailEntity::text(const char *name) const
{
    return decodeWords(field(name));
}

QString MailEntity::decodeWords(const QByteArray &value)
{
    static const QRegularExpression word(QStringLiteral("=\\?([^?\\s]+)\\?([BbQq])\\?([^?\\s]*)\\?=(\\s+(?==\\?))?"));
    const QString raw = QString::fromUtf8(value);
    QString out;
    qsizetype at = 0;
    for (auto it = word.globalMatch(raw); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += raw.mid(at, m.capturedStart() - at);
        QByteArray charset = m.captured(1).toLatin1();
        charset = charset.left(charset.indexOf('*') < 0 ? charset.size() : charset.indexOf('*')); // RFC 2231 language
        const QByteArray data = m.captured(3).toLatin1();
        const QByteArray bytes = m.captured(2).compare(QLatin1String("b"), Qt::CaseInsensitive) == 0
                                     ? QByteArray::fromBase64(data)
                                     : decodeQuotedPrintable(data, true);
        out += decodeCharset(charset, bytes);
        at = m.capturedEnd();
    }
    return out + raw.mid(at);
}

QByteArray MailEntity::contentType() const
{
    const QByteArray value = field("content-type");
    const QByteArray type = value.left(value.indexOf(';') < 0 ? value.size() : value.indexOf(';')).trimmed().toLower();
    return type.contains('/') ? type : QByteArray("text/plain");
}

QByteArray MailEntity::contentParameter(const char *name) const
{
    const QByteArray value = field("content-type");
    const QByteArray key = QByteArray(name).toLower() + '=';
    for (QByteArray parameter : value.split(';').mid(1)) {
        parameter = parameter.trimmed();
        if (!parameter.toLower().startsWith(key))
            continue;
        QByteArray v = parameter.mid(key.size()).trimmed();
        if (v.size() >= 2 && v.startsWith('"') && v.endsWith('"'))
            v = v.mid(1, v.size() - 2).replace("\\\"", "\"").replace("\\\\", "\\");
        return v;
    }
    return {};
}

QByteArray MailEntity::decodedBody() const
{
    const QByteArray encoding = field("content-transfer-encoding").toLower();
    if (encoding == "base64")
        return QByteArray::fromBase64(m_body);
    if (encoding == "quoted-printable")
        return decodeQuotedPrintable(m_body, false);
    return m_body;
}

void MailEntity::walk(const Visit &visit, int depth) const
{
    if (depth <= 0)
        return;
    const QByteArray type = contentType();
    if (type == "message/rfc822") {
        const MailEntity inner(decodedBody());
        visit(inner);
        inner.walk(visit, depth - 1);
        return;
    }
    if (!type.startsWith("multipart/"))
        return;
    const QByteArray boundary = contentParameter("boundary");
    if (boundary.isEmpty() || boundary.size() > 200)
        return;
    const QByteArray dashes = "--" + boundary;
    qsizetype partStart = -1;
    qsizetype at = 0;
    while (at < m_body.size()) {
        qsizetype end = m_body.indexOf('\n', at);
        if (end < 0)
            end = m_body.size();
        const QByteArray line = withoutCr(m_body.mid(at, end - at));
        if (line.startsWith(dashes)) {
            const QByteArray rest = line.mid(dashes.size()).trimmed();
            const bool closing = rest == "--";
            if (rest.isEmpty() || closing) {
                if (partStart >= 0) {
                    // The line end before the boundary belongs to it.
                    qsizetype partEnd = at > 0 && m_body.at(at - 1) == '\n' ? at - 1 : at;
                    if (partEnd > partStart && m_body.at(partEnd - 1) == '\r')
                        --partEnd;
                    const MailEntity part(m_body.mid(partStart, std::max<qsizetype>(0, partEnd - partStart)));
                    visit(part);
                    part.walk(visit, depth - 1);
                }
                if (closing)
                    return;
                partStart = end + 1;
            }
        }
        at = end + 1;
    }
}
