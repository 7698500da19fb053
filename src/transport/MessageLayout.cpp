#include "transport/MessageLayout.h"

#include "platform/Clock.h"
#include "transport/MessageHeader.h"
#include "transport/MimeParameter.h"

#include <QFileInfo>
#include <QMimeDatabase>

namespace {

// The longest file name a part names.
constexpr int LongestFileName = 255;

// The octets a base64 part of a file of `size` bytes takes: lines of 60
// characters for 45 bytes, one empty line for an empty file.
qint64 base64Octets(qint64 size)
{
    const qint64 lines = size == 0 ? 1 : (size + 44) / 45;
    return (size + 2) / 3 * 4 + 2 * lines;
}

qint64 octetsOf(const QStringList &lines)
{
    qint64 octets = 0;
    for (const QString &line : lines)
        octets += line.toUtf8().size() + 2;
    return octets;
}

QString encodingName(TransferEncoding encoding)
{
    switch (encoding) {
    case TransferEncoding::Base64:
        return QStringLiteral("base64");
    case TransferEncoding::QuotedPrintable:
        return QStringLiteral("quoted-printable");
    case TransferEncoding::EightBit:
        return QStringLiteral("8bit");
    case TransferEncoding::SevenBit:
        break;
    }
    return QStringLiteral("7bit");
}

QString contentTypeOf(const QString &path)
{
    // By the name first: reading a file to learn its type is only worth it
    // when the name says nothing, and an empty file has no content to read.
    static const QMimeDatabase types;
    QMimeType type = types.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
    if (type.isDefault() && QFileInfo(path).size() > 0)
        type = types.mimeTypeForFile(path, QMimeDatabase::MatchContent);
    return type.isValid() ? type.name() : QStringLiteral("application/octet-stream");
}

} // namespace

MessagePart MessagePart::text(const QString &charset, TransferEncoding encoding)
{
    MessagePart part;
    part.encoding = encoding;
    part.type = {QStringLiteral("Content-Type: text/plain; charset=\"%1\"").arg(charset)};
    return part;
}

MessagePart MessagePart::attachment(const QString &path)
{
    QString name = QFileInfo(path).fileName();
    // A character is not cut in two.
    name.truncate(name.size() > LongestFileName && name.at(LongestFileName - 1).isHighSurrogate() ? LongestFileName - 1
                                                                                                 : LongestFileName);
    MessagePart part;
    part.file = path;
    part.encoding = TransferEncoding::Base64;
    // Readers that know RFC 2231 take the name from the disposition; the
    // type's name is the plain ASCII one, for those that do not. (Both forms
    // in one line would be one parameter given twice, which strict readers
    // count as a defect and older ones answer with the ASCII form.)
    part.type = QStringList{QStringLiteral("Content-Type: %1;").arg(contentTypeOf(path))}
                + MimeParameter::lines(QStringLiteral("name"), MimeParameter::asciiFallback(name));
    part.disposition = QStringList{QStringLiteral("Content-Disposition: attachment;")}
                       + MimeParameter::lines(QStringLiteral("filename"), name);
    return part;
}

QStringList MessagePart::headerLines() const
{
    return type + QStringList{QStringLiteral("Content-Transfer-Encoding: ") + encodingName(encoding)} + disposition;
}

MessageLayout::MessageLayout(const QString &charset, const QStringList &files, TransferEncoding text)
    : m_charset(charset)
{
    m_parts.append(MessagePart::text(charset, text));
    for (const QString &file : files)
        m_parts.append(MessagePart::attachment(file));
    if (!files.isEmpty())
        m_boundary = MessageHeader::boundary(Clock::currentDateTime());
}

QStringList MessageLayout::headerLines(const MessageFields &fields, WireText &wire, const QDateTime &date,
                                       bool utf8) const
{
    auto line = [&wire, utf8](const QString &name, const QString &value) {
        const QString start = name + QStringLiteral(": ");
        return start + QString::fromUtf8(MessageHeader::encodeText(MessageHeader::singleLine(value), wire,
                                                                   static_cast<int>(start.size()), utf8));
    };
    // A single part declares its type in the message's header; the 7bit
    // encoding is what a message has when it says nothing, so a plain ASCII
    // text declares none.
    const QString contentType =
        isMultipart() ? QStringLiteral("Content-Type: multipart/mixed;\r\n\tboundary=\"%1\"").arg(m_boundary)
                      : m_parts.first().type.join(QStringLiteral("\r\n"));
    QStringList lines{
        line(QStringLiteral("From"), fields.from),
        line(QStringLiteral("To"), fields.to),
        line(QStringLiteral("Subject"), fields.subject),
        QStringLiteral("Mime-Version: 1.0"),
        contentType,
        QStringLiteral("Date: ") + MessageHeader::dateText(date),
    };
    if (!isMultipart() && textEncoding() != TransferEncoding::SevenBit)
        lines.insert(5, QStringLiteral("Content-Transfer-Encoding: ") + encodingName(textEncoding()));
    if (!fields.messageId.isEmpty())
        lines.append(line(QStringLiteral("Message-ID"), fields.messageId));
    return lines + fields.extraLines;
}

QStringList MessageLayout::linesBefore(int index) const
{
    if (!isMultipart())
        return {};
    // Every boundary but the first ends the line before it.
    const QStringList lead = index == 0 ? QStringList{QStringLiteral("This is a multipart MIME message."), QString()}
                                        : QStringList{QString()};
    return lead + QStringList{QStringLiteral("--") + m_boundary} + m_parts.at(index).headerLines()
           + QStringList{QString()};
}

QStringList MessageLayout::closingLines() const
{
    if (!isMultipart())
        return {};
    return {QString(), QStringLiteral("--") + m_boundary + QStringLiteral("--")};
}

qint64 MessageLayout::bodyOctets(qint64 textOctets) const
{
    qint64 octets = octetsOf(closingLines());
    for (int i = 0; i < m_parts.size(); ++i) {
        const MessagePart &part = m_parts.at(i);
        octets += octetsOf(linesBefore(i)) + (part.isFile() ? base64Octets(QFileInfo(part.file).size()) : textOctets);
    }
    return octets;
}
