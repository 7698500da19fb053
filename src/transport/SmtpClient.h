#pragma once

#include "transport/CustomSmtpClient.h"

#include <QFile>
#include <QStringList>

// The SMTP client with attachments: when files are attached, each message
// becomes a MIME multipart message, the owner's lines as the text part and
// one base64 part per file, produced line by line as it is sent. Files are
// read as they are encoded, never whole.
class TSmtpClient : public TCustomSmtpClient
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
    void DoGetData(qint32 LineNum, char *MsgLine, qint32 MaxLen, bool &More) override;
    void DoHeaderLine(char *Msg, qint32 Size) override;

    virtual void OpenAttachment(QFile &file, const QString &path);
    virtual void EncodeAttachmentLine(QFile &file, QByteArray &line, bool &More);
    virtual void CloseAttachment(QFile &file);

private:
    void startAttachment(char *MsgLine, qint32 MaxLen);
    void continueAttachment(char *MsgLine, qint32 MaxLen, bool &More);

    QStringList m_emailFiles;
    QStringList m_pendingLines;
    QString m_boundary;
    bool m_userText = true;
    qint32 m_userLine = 0;
    int m_attachmentIndex = 0;
    bool m_inAttachment = false;
    QFile m_attachment;
};
