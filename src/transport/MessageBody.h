#pragma once

#include "transport/MessageLayout.h"

#include <QByteArray>
#include <QStringList>

// Where a message body's content comes from. Any input or output error
// raises an exception, which ends the body.
class MessageContent
{
public:
    // The owner's line `lineNum` (counted from 1) into a NUL-terminated
    // buffer; false when the owner's text has ended.
    virtual bool textLine(qint32 lineNum, char *buffer, qint32 maxLen) = 0;
    virtual void openFile(const QString &path) = 0;
    // The next line of the open file, encoded; `more` tells whether bytes
    // follow it.
    virtual void fileLine(QByteArray &line, bool &more) = 0;
    virtual void closeFile() = 0;

protected:
    ~MessageContent() = default;
};

// The body of one message as its layout has it, one line per call, read from
// the content as it goes out: a file is opened when its part begins and
// closed after its last line, never read whole.
class MessageBody
{
public:
    MessageBody() = default;
    explicit MessageBody(const MessageLayout &layout) : m_layout(layout) {}

    // The next line into a NUL-terminated buffer of maxLen bytes; false when
    // the body is complete.
    bool nextLine(char *buffer, qint32 maxLen, MessageContent &content);

private:
    enum class Place { BeforePart, InText, InFile };

    void endPart();

    MessageLayout m_layout;
    QStringList m_pending;
    Place m_place = Place::BeforePart;
    int m_part = 0;
    bool m_closed = false;
    qint32 m_textLine = 0;
};
