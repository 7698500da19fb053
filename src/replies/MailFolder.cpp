#include "replies/MailFolder.h"

#include <QDir>
#include <QFileInfo>

namespace {

// A line longer than this is read in pieces, so no line is held whole.
constexpr qint64 PieceLimit = 64 * 1024;

void add(MailMessage &message, const QByteArray &bytes)
{
    message.size += bytes.size();
    const qsizetype room = MailMessage::KeepLimit - message.kept.size();
    if (bytes.size() > room) {
        message.kept.append(bytes.left(room));
        message.cut = true;
    } else {
        message.kept.append(bytes);
    }
}

bool isFromLine(const QByteArray &piece)
{
    return piece.startsWith("From ");
}

// mboxrd quoting: ">From " and ">>From " lose one ">".
QByteArray unquoted(const QByteArray &line)
{
    qsizetype at = 0;
    while (at < line.size() && line.at(at) == '>')
        ++at;
    return at > 0 && line.mid(at).startsWith("From ") ? line.mid(1) : line;
}

bool isBlankLine(const QByteArray &piece)
{
    return piece == "\n" || piece == "\r\n";
}

} // namespace

bool MailFolder::open(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir()) {
        const QDir dir(path);
        if (!dir.exists("cur") && !dir.exists("new")) {
            m_error = QStringLiteral("%1 is a folder without cur/ and new/, not a Maildir").arg(path);
            return false;
        }
        m_maildir = true;
        for (const char *sub : {"cur", "new"}) {
            const QDir part(dir.filePath(sub));
            for (const QString &name : part.entryList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name))
                m_maildirFiles << QStringLiteral("%1/%2").arg(sub, name);
        }
        m_maildirRoot = path;
        m_error.clear();
        return true;
    }
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("%1 cannot be read: %2").arg(path, m_file.errorString());
        return false;
    }
    return true;
}

bool MailFolder::next(MailMessage &message)
{
    message = MailMessage();
    return m_maildir ? nextInMaildir(message) : nextInMbox(message);
}

bool MailFolder::readPiece()
{
    if (m_file.atEnd())
        return false;
    m_pieceStartsLine = m_piece.isEmpty() || m_piece.endsWith('\n');
    m_piece = m_file.readLine(PieceLimit);
    if (m_piece.isEmpty())
        return false;
    if (m_pieceStartsLine)
        ++m_line;
    return true;
}

bool MailFolder::nextInMbox(MailMessage &message)
{
    if (!m_havePending) {
        if (!readPiece())
            return false;
        // A file that does not begin with a "From " line is taken as one
        // message from its first line.
    }
    m_havePending = false;
    message.where = QStringLiteral("message %1 (line %2)").arg(++m_count).arg(m_line);
    bool previousBlank = false;
    bool first = true;
    do {
        if (m_pieceStartsLine && !first && previousBlank && isFromLine(m_piece)) {
            m_havePending = true;
            return true;
        }
        if (!(first && m_pieceStartsLine && isFromLine(m_piece)))
            add(message, m_pieceStartsLine ? unquoted(m_piece) : m_piece);
        previousBlank = m_pieceStartsLine && isBlankLine(m_piece);
        first = false;
    } while (readPiece());
    message.ended = m_piece.endsWith('\n');
    return true;
}

bool MailFolder::nextInMaildir(MailMessage &message)
{
    while (m_nextFile < m_maildirFiles.size()) {
        const QString name = m_maildirFiles.at(m_nextFile++);
        QFile file(m_maildirRoot + '/' + name);
        message = MailMessage();
        message.where = name;
        if (!file.open(QIODevice::ReadOnly)) {
            message.failure = file.errorString();
            return true;
        }
        while (!file.atEnd()) {
            const QByteArray piece = file.read(PieceLimit);
            if (piece.isEmpty())
                break;
            add(message, piece);
        }
        return true;
    }
    return false;
}
