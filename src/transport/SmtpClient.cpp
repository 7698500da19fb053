#include "transport/SmtpClient.h"

#include "platform/Clock.h"
#include "transport/LineBuffer.h"
#include "transport/MessageHeader.h"
#include "transport/SmtpException.h"

#include <QDateTime>
#include <QFileInfo>

namespace {

constexpr int AttachmentBytesPerLine = 45;

QString quoted(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + text + QLatin1Char('"');
}

} // namespace

TSmtpClient::~TSmtpClient() = default;

void TSmtpClient::setEmailFiles(const QStringList &files)
{
    m_emailFiles.clear();
    for (const QString &entry : files) {
        const QString name = entry.trimmed();
        if (name.isEmpty())
            continue;
        if (!QFileInfo(name).isFile())
            throw SmtpException(QStringLiteral("File not found '%1'").arg(name));
        m_emailFiles.append(name);
    }
}

bool TSmtpClient::Mail()
{
    m_userText = true;
    m_attachmentIndex = 0;
    m_userLine = 0;
    m_inAttachment = false;
    m_pendingLines.clear();
    if (!m_emailFiles.isEmpty()) {
        m_boundary = MessageHeader::boundary(Clock::currentDateTime());
        m_pendingLines = {
            QStringLiteral("This is a multipart MIME message."),
            QString(),
            QStringLiteral("--") + m_boundary,
            QStringLiteral("Content-Type: text/plain; charset=\"%1\"").arg(CharSet),
            QStringLiteral("Content-Transfer-Encoding: 7bit"),
            QString(),
        };
    } else {
        m_boundary.clear();
    }
    const bool sent = TCustomSmtpClient::Mail();
    // A body cut short leaves its attachment open; it is not needed any more.
    if (m_attachment.isOpen())
        CloseAttachment(m_attachment);
    m_inAttachment = false;
    return sent;
}

void TSmtpClient::DoGetData(qint32, char *MsgLine, qint32 MaxLen, bool &More)
{
    if (!m_pendingLines.isEmpty()) {
        LineBuffer::copyLine(MsgLine, MaxLen, m_pendingLines.takeFirst().toUtf8());
        return;
    }
    if (m_userText) {
        TCustomSmtpClient::DoGetData(++m_userLine, MsgLine, MaxLen, More);
        if (More)
            return;
        m_userText = false;
        More = true;
    }
    if (m_inAttachment)
        return continueAttachment(MsgLine, MaxLen, More);
    if (m_attachmentIndex < m_emailFiles.size())
        return startAttachment(MsgLine, MaxLen);
    More = false;
}

void TSmtpClient::startAttachment(char *MsgLine, qint32 MaxLen)
{
    LineBuffer::copyLine(MsgLine, MaxLen, QByteArray());
    const QString path = m_emailFiles.at(m_attachmentIndex);
    OpenAttachment(m_attachment, path);
    const QString name = quoted(QFileInfo(path).fileName().left(255));
    m_pendingLines = {
        QStringLiteral("--") + m_boundary,
        QStringLiteral("Content-Type: application/octet-stream;"),
        QStringLiteral("\tname=") + name,
        QStringLiteral("Content-Transfer-Encoding: base64"),
        QStringLiteral("Content-Disposition: attachment;"),
        QStringLiteral("\tfilename=") + name,
        QString(),
    };
    m_inAttachment = true;
}

void TSmtpClient::continueAttachment(char *MsgLine, qint32 MaxLen, bool &More)
{
    QByteArray line;
    EncodeAttachmentLine(m_attachment, line, More);
    LineBuffer::copyLine(MsgLine, MaxLen, line);
    if (More)
        return;
    CloseAttachment(m_attachment);
    m_inAttachment = false;
    if (++m_attachmentIndex >= m_emailFiles.size())
        m_pendingLines = {QString(), QStringLiteral("--") + m_boundary + QStringLiteral("--")};
    More = true;
}

void TSmtpClient::DoHeaderLine(char *Msg, qint32 Size)
{
    if (!m_boundary.isEmpty() && qstrnicmp(Msg, "CONTENT-TYPE:", 13) == 0) {
        const QByteArray multipart =
            "Content-Type: multipart/mixed;\r\n\tboundary=\"" + m_boundary.toLatin1() + "\"";
        LineBuffer::copyLine(Msg, Size, multipart);
    }
    TCustomSmtpClient::DoHeaderLine(Msg, Size);
}

void TSmtpClient::OpenAttachment(QFile &file, const QString &path)
{
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        throw SmtpException(QStringLiteral("Cannot open '%1': %2").arg(path, file.errorString()));
}

void TSmtpClient::EncodeAttachmentLine(QFile &file, QByteArray &line, bool &More)
{
    const QByteArray bytes = file.read(AttachmentBytesPerLine);
    if (bytes.size() < AttachmentBytesPerLine && file.error() != QFileDevice::NoError)
        throw SmtpException(QStringLiteral("Cannot read '%1': %2").arg(file.fileName(), file.errorString()));
    line = bytes.toBase64();
    More = !file.atEnd();
}

void TSmtpClient::CloseAttachment(QFile &file)
{
    file.close();
}
