#include "transport/MessageLayout.h"

#include "platform/Clock.h"
#include "transport/MessageHeader.h"

#include <QFileInfo>

namespace {

// The longest file name a part names.
constexpr int LongestFileName = 255;

QString quoted(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString encodingName(TransferEncoding encoding)
{
    switch (encoding) {
    case TransferEncoding::Base64:
        return QStringLiteral("base64");
    case TransferEncoding::SevenBit:
        break;
    }
    return QStringLiteral("7bit");
}

} // namespace

MessagePart MessagePart::text(const QString &charset)
{
    MessagePart part;
    part.type = {QStringLiteral("Content-Type: text/plain; charset=\"%1\"").arg(charset)};
    return part;
}

MessagePart MessagePart::attachment(const QString &path)
{
    const QString name = quoted(QFileInfo(path).fileName().left(LongestFileName));
    MessagePart part;
    part.file = path;
    part.encoding = TransferEncoding::Base64;
    part.type = {QStringLiteral("Content-Type: application/octet-stream;"), QStringLiteral("\tname=") + name};
    part.disposition = {QStringLiteral("Content-Disposition: attachment;"), QStringLiteral("\tfilename=") + name};
    return part;
}

QStringList MessagePart::headerLines() const
{
    return type + QStringList{QStringLiteral("Content-Transfer-Encoding: ") + encodingName(encoding)} + disposition;
}

MessageLayout::MessageLayout(const QString &charset, const QStringList &files)
{
    m_parts.append(MessagePart::text(charset));
    for (const QString &file : files)
        m_parts.append(MessagePart::attachment(file));
    if (!files.isEmpty())
        m_boundary = MessageHeader::boundary(Clock::currentDateTime());
}

QStringList MessageLayout::headerLines(const MessageFields &fields, WireText &wire, const QDateTime &date) const
{
    auto line = [&wire](const QString &name, const QString &value) {
        const QString start = name + QStringLiteral(": ");
        return start + QString::fromLatin1(MessageHeader::encodeText(MessageHeader::singleLine(value), wire,
                                                                     static_cast<int>(start.size())));
    };
    // A single part declares its type in the message's header; the 7bit
    // encoding is what a message has when it says nothing.
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
    if (!fields.messageId.isEmpty())
        lines.append(line(QStringLiteral("Message-ID"), fields.messageId));
    return lines;
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
