#include "transport/SmtpClient.h"

#include "platform/Exception.h"
#include "transport/LineBuffer.h"
#include "transport/MessageText.h"
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
    const bool sent = TCustomSmtpClient::Mail();
    // A body cut short leaves its attachment open; it is not needed any more.
    if (m_attachment.isOpen())
        CloseAttachment(m_attachment);
    return sent;
}

TCustomSmtpClient::Content TSmtpClient::prepareContent()
{
    // A UTF-8 header (for addresses outside ASCII) goes with a UTF-8 text.
    const MessageText text(readText(), internationalEnvelope() ? QStringLiteral("utf-8") : CharSet,
                           {HdrFrom, HdrTo, HdrSubject});
    const TransferEncoding encoding = text.encoding(capabilities().offers(QStringLiteral("8BITMIME")));
    MessageLayout layout(text.charset(), m_emailFiles, encoding);
    MessageText::Encoded encoded = text.encoded(encoding);
    m_textLines = std::move(encoded.lines);
    m_body = MessageBody(layout);
    const qint64 octets = layout.bodyOctets(encoded.octets);
    return {std::move(layout), octets};
}

void TSmtpClient::DoGetData(qint32, char *MsgLine, qint32 MaxLen, bool &More)
{
    More = m_body.nextLine(MsgLine, MaxLen, *this);
}

QStringList TSmtpClient::readText()
{
    QStringList lines;
    char buffer[LineBufferSize];
    for (qint32 lineNum = 1;; ++lineNum) {
        pumpMessages();
        buffer[0] = '\0';
        bool more = true;
        try {
            TCustomSmtpClient::DoGetData(lineNum, buffer, LineBufferSize - 1, more);
        } catch (...) {
            more = false;
        }
        if (!more)
            return lines;
        buffer[LineBufferSize - 1] = '\0';
        lines.append(QString::fromUtf8(buffer));
    }
}

bool TSmtpClient::textLine(qint32 lineNum, char *buffer, qint32 maxLen)
{
    if (lineNum > m_textLines.size())
        return false;
    LineBuffer::copyLine(buffer, maxLen, m_textLines.at(lineNum - 1));
    return true;
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
