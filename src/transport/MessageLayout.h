#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

class WireText;

// How a part's content is written between its header and the next boundary.
enum class TransferEncoding { SevenBit, Base64 };

// One part of a message: where its content comes from, how it is written and
// the lines that describe it. What a part declares and how it is encoded are
// decided together, here.
struct MessagePart
{
    // The owner's lines, in `charset`.
    static MessagePart text(const QString &charset);
    // A file, base64 encoded as it is read.
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
};

// The layout of one message: its parts, and whether it is a single part (the
// owner's text alone) or a multipart message (the text and one part per
// file). That is decided once, when the layout is made, from whether files
// are attached; the header and the body are laid out from it.
class MessageLayout
{
public:
    explicit MessageLayout(const QString &charset = QStringLiteral("iso-8859-1"), const QStringList &files = {});

    bool isMultipart() const { return !m_boundary.isEmpty(); }
    // Empty for a single part; otherwise taken from the time the layout was
    // made.
    QString boundary() const { return m_boundary; }
    const QList<MessagePart> &parts() const { return m_parts; }

    // The header lines, in the order they go out. Texts are made single
    // lines and encoded for `wire`, folded where they are long; a multipart
    // message's Content-Type line carries its fold (CR LF TAB) within.
    QStringList headerLines(const MessageFields &fields, WireText &wire, const QDateTime &date) const;
    // The body lines that come before part `index`: the preamble and the
    // part's boundary and header, for a multipart message.
    QStringList linesBefore(int index) const;
    // The body lines after the last part: the closing boundary.
    QStringList closingLines() const;

private:
    QList<MessagePart> m_parts;
    QString m_boundary;
};
