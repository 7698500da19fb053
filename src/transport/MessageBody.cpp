#include "transport/MessageBody.h"

#include "transport/LineBuffer.h"

bool MessageBody::nextLine(char *buffer, qint32 maxLen, MessageContent &content)
{
    for (;;) {
        if (!m_pending.isEmpty()) {
            LineBuffer::copyLine(buffer, maxLen, m_pending.takeFirst().toUtf8());
            return true;
        }
        switch (m_place) {
        case Place::BeforePart:
            if (m_part >= m_layout.parts().size()) {
                if (m_closed)
                    return false;
                m_closed = true;
                m_pending = m_layout.closingLines();
                continue;
            }
            if (m_layout.parts().at(m_part).isFile()) {
                content.openFile(m_layout.parts().at(m_part).file);
                m_place = Place::InFile;
            } else {
                m_place = Place::InText;
            }
            m_pending = m_layout.linesBefore(m_part);
            continue;
        case Place::InText:
            if (content.textLine(++m_textLine, buffer, maxLen))
                return true;
            endPart();
            continue;
        case Place::InFile: {
            QByteArray line;
            bool more = true;
            content.fileLine(line, more);
            LineBuffer::copyLine(buffer, maxLen, line);
            if (!more) {
                content.closeFile();
                endPart();
            }
            // The last line of a file is delivered too.
            return true;
        }
        }
    }
}

void MessageBody::endPart()
{
    m_place = Place::BeforePart;
    ++m_part;
}
