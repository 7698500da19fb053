#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class WireText;

// How a part's content is written between its header and the next boundary.
// SevenBit and EightBit are the lines as they are (ASCII, or octets of the
// charset that need a server taking 8BITMIME); QuotedPrintable and Base64
// are ASCII whatever the content.
enum class TransferEncoding { SevenBit, EightBit, QuotedPrintable, Base64 };

// One part of a message: where its content comes from, how it is written and
// the lines that describe it. What a part declares and how it is encoded are
// decided together, here.
struct MessagePart
{
    // The owner's lines, in `charset`.
    static MessagePart text(const QString &charset, TransferEncoding encoding = TransferEncoding::SevenBit);
    // A file, base64 encoded as it is read, of the type its name and content
    // tell; its name in UTF-8 (RFC 2231) where it is not plain ASCII.
    static MessagePart attachment(const QString &path);

    bool isFile() const { return !file.isEmpty(); }
    // The lines that head the part inside a multipart message.
    QStringList headerLines() const;

    // Empty for the owner's text.
    QString file;
    TransferEncoding encoding = TransferEncoding::SevenBit;
    // The Content-Type line and the lines that continue it.
    QStringList type;
    // The Content-Disposition line and the lines that continue it; none for
    // the text.
    QStringList disposition;
};

// The header fields the owner fills in for each message.
struct MessageFields
{
    QString from;
    QString to;
    QString subject;
    // Goes out as a Message-ID line after the Date line; none when empty.
    QString messageId;
    // Lines made by the owner (ASCII, folded where long), after the
    // Message-ID line.
    QStringList extraLines;
};

// The layout of one message: its parts, and whether it is a single part (the
// owner's text alone) or a multipart message (the text and one part per
// file). That is decided once, when the layout is made, from whether files
// are attached; the header and the body are laid out from it.
class MessageLayout
{
public:
    explicit MessageLayout(const QString &charset = QStringLiteral("iso-8859-1"), const QStringList &files = {},
                           TransferEncoding text = TransferEncoding::SevenBit);

    bool isMultipart() const { return !m_boundary.isEmpty(); }
    // Empty for a single part; otherwise taken from the time the layout was
    // made.
    QString boundary() const { return m_boundary; }
    const QList<MessagePart> &parts() const { return m_parts; }
    QString charset() const { return m_charset; }
    TransferEncoding textEncoding() const { return m_parts.first().encoding; }

    // The header lines, in the order they go out. Texts are made single
    // lines and encoded for `wire` (left as UTF-8 where `utf8` allows it),
    // folded where they are long; a multipart message's Content-Type line
    // carries its fold (CR LF TAB) within.
    QStringList headerLines(const MessageFields &fields, WireText &wire, const QDateTime &date,
                            bool utf8 = false) const;
    // The body lines that come before part `index`: the preamble and the
    // part's boundary and header, for a multipart message.
    QStringList linesBefore(int index) const;
    // The body lines after the last part: the closing boundary.
    QStringList closingLines() const;
    // The octets of the body, line ends included, when the owner's text
    // takes `textOctets` of them: for the SIZE a server is told.
    qint64 bodyOctets(qint64 textOctets) const;

private:
    QList<MessagePart> m_parts;
    QString m_boundary;
    QString m_charset;
};
