#pragma once

#include <QByteArray>
#include <QIODevice>
#include <algorithm>
#include <cstring>

// A device that reads its content and fails after a number of bytes, as a
// file on a medium that goes away mid-read.
class FailingDevice : public QIODevice
{
public:
    FailingDevice(const QByteArray &content, qint64 failAfter) : m_content(content), m_failAfter(failAfter) {}

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        if (m_read >= m_content.size())
            return 0;
        if (m_read >= m_failAfter) {
            setErrorString(QStringLiteral("Input/output error"));
            return -1;
        }
        const qint64 n = std::min({maxSize, m_failAfter - m_read, qint64(m_content.size()) - m_read});
        std::memcpy(data, m_content.constData() + m_read, static_cast<size_t>(n));
        m_read += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_content;
    qint64 m_failAfter;
    qint64 m_read = 0;
};
