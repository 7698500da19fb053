#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

// One message of a mail folder as read: at most KeepLimit bytes of it are
// kept, however long it is, so a message of 50 MB costs no more memory than
// one of 1 MB.
struct MailMessage
{
    static constexpr qsizetype KeepLimit = qsizetype(1) << 20;

    QString where;      // "message 12 (line 340)" or the Maildir file's name
    QByteArray kept;    // the first bytes, ">From " unquoted in an mbox
    qint64 size = 0;    // bytes of the whole message
    bool cut = false;   // longer than what is kept
    bool ended = true;  // false when the file ends in the middle of a line
    QString failure;    // why the message could not be read, if it could not
};

// The messages of an mbox file (what desktop clients keep: "From " lines
// after a blank line part the messages, ">From " quoted) or of a Maildir
// folder (one file per message in cur/ and new/), read one at a time.
class MailFolder
{
public:
    // A Maildir when path is a folder with cur/ or new/, else an mbox file.
    // False, with error() saying why, when neither can be read.
    bool open(const QString &path);
    QString error() const { return m_error; }
    // The next message; false at the end of the folder.
    bool next(MailMessage &message);

private:
    bool nextInMbox(MailMessage &message);
    bool nextInMaildir(MailMessage &message);
    // Reads one piece of a line into m_piece; false at the end of the file.
    bool readPiece();

    QFile m_file;
    QString m_maildirRoot;
    QStringList m_maildirFiles;
    bool m_maildir = false;
    qsizetype m_nextFile = 0;
    QString m_error;
    QByteArray m_piece;
    bool m_pieceStartsLine = true;
    bool m_havePending = false; // m_piece is a "From " line not yet used
    qint64 m_line = 0;
    int m_count = 0;
};
