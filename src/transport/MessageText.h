#pragma once

#include "transport/MessageLayout.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The owner's text of one message, read in full before the message goes out:
// the charset that holds all of it, the transfer encoding it needs and the
// lines that carry it.
class MessageText
{
public:
    // The lines an encoding writes, and the octets they take on the wire
    // with their line ends.
    struct Encoded
    {
        // UTF-8, as the body's line buffer takes them.
        QList<QByteArray> lines;
        qint64 octets = 0;
    };

    MessageText() = default;
    // `lines` as the owner gave them; line breaks within a line become
    // blanks. `charset` is kept when it holds the lines and every one of
    // `alsoIn` (the header's texts); otherwise the text goes in UTF-8, so
    // that no character is lost.
    MessageText(QStringList lines, const QString &charset, const QStringList &alsoIn = {});

    QString charset() const { return m_charset; }
    // 7bit for plain ASCII, 8bit where the server takes it, quoted-printable
    // otherwise; quoted-printable too for a line longer than SMTP carries,
    // whatever it holds.
    TransferEncoding encoding(bool eightBitTransport) const;
    // The lines as given for 7bit and 8bit, quoted-printable for that.
    Encoded encoded(TransferEncoding encoding) const;

private:
    QStringList m_lines;
    QList<QByteArray> m_octets; // each line in the charset
    QString m_charset;
    bool m_eightBit = false;
    bool m_longLines = false;
};
