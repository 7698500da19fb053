#include "transport/SmtpClient.h"

#include "platform/Exception.h"
#include "transport/SmtpException.h"

#include <QFileInfo>

namespace {

constexpr int AttachmentBytesPerLine = 45;

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
    const MessageLayout layout(CharSet, m_emailFiles);
    m_body = MessageBody(layout);
    const bool sent = sendMessage(layout);
    // A body cut short leaves its attachment open; it is not needed any more.
    if (m_attachment.isOpen())
        CloseAttachment(m_attachment);
    return sent;
}

void TSmtpClient::DoGetData(qint32, char *MsgLine, qint32 MaxLen, bool &More)
{
    More = m_body.nextLine(MsgLine, MaxLen, *this);
}

bool TSmtpClient::textLine(qint32 lineNum, char *buffer, qint32 maxLen)
{
    bool more = true;
    TCustomSmtpClient::DoGetData(lineNum, buffer, maxLen, more);
    return more;
}

void TSmtpClient::guardAttachment(const std::function<void()> &step)
{
    try {
        step();
    } catch (const std::exception &error) {
        abandonMessage(Exception::messageOf(error));
        throw;
    }
}

void TSmtpClient::openFile(const QString &path)
{
    guardAttachment([&] {
        OpenAttachment(m_attachment, path);
        m_attachmentSize = m_attachment.size();
    });
}

void TSmtpClient::fileLine(QByteArray &line, bool &more)
{
    guardAttachment([&] {
        EncodeAttachmentLine(m_attachment, line, more);
        // A file cut shorter while it is sent would arrive cut short.
        if (!more && m_attachment.pos() < m_attachmentSize)
            throw SmtpException(QStringLiteral("Cannot read '%1': it ended after %2 of its %3 bytes")
                                    .arg(m_attachment.fileName())
                                    .arg(m_attachment.pos())
                                    .arg(m_attachmentSize));
    });
}

void TSmtpClient::closeFile()
{
    CloseAttachment(m_attachment);
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
