#pragma once

#include "transport/CustomSmtpClient.h"
#include "transport/MessageBody.h"

#include <QFile>
#include <QStringList>
#include <functional>

// The SMTP client with attachments: when files are attached, each message
// becomes a MIME multipart message, the owner's lines as the text part and
// one base64 part per file, produced line by line as it is sent (the layout
// and the order are MessageLayout's). Files are read as they are encoded,
// never whole. The owner's text is read before the message starts, so that
// its header can declare it: in CharSet where that holds the whole text,
// else UTF-8, and 7bit, 8bit or quoted-printable as it needs and the server
// takes (MessageText). A file that cannot be opened, fails while it is read
// or ends before the size it had when opened abandons the message: Mail fails
// with the file and the error, and nobody gets the message without it.
class TSmtpClient : public TCustomSmtpClient, private MessageContent
{
    Q_OBJECT
public:
    using TCustomSmtpClient::TCustomSmtpClient;
    ~TSmtpClient() override;

    QStringList EmailFiles() const { return m_emailFiles; }
    // Takes the trimmed, non-empty entries; raises SmtpException at the first
    // that names no existing file (the ones before it stay).
    void setEmailFiles(const QStringList &files);

    bool Mail() override;

protected:
    Content prepareContent() override;
    // Hands out the body MessageBody lays out; counts the owner's lines
    // itself, so LineNum is not used.
    void DoGetData(qint32 LineNum, char *MsgLine, qint32 MaxLen, bool &More) override;

    virtual void OpenAttachment(QFile &file, const QString &path);
    virtual void EncodeAttachmentLine(QFile &file, QByteArray &line, bool &More);
    virtual void CloseAttachment(QFile &file);

private:
    // The owner's lines, as OnGetData gives them, up to the first that ends
    // the text (More false, or an exception).
    QStringList readText();
    bool textLine(qint32 lineNum, char *buffer, qint32 maxLen) override;
    void openFile(const QString &path) override;
    void fileLine(QByteArray &line, bool &more) override;
    void closeFile() override;
    // Runs an attachment's open or read; what it throws abandons the message
    // and goes on to end the body.
    void guardAttachment(const std::function<void()> &step);

    QStringList m_emailFiles;
    MessageBody m_body;
    // The text part's lines as they go into the body.
    QList<QByteArray> m_textLines;
    QFile m_attachment;
    qint64 m_attachmentSize = 0;
};
