#pragma once

#include <QString>

// One SMTP reply as it arrives, line by line. A line whose fourth character is
// "-" announces another line; the reply ends with the first line that does
// not, and the code of that last line is the reply's code.
class TSmtpReply
{
public:
    // Takes the next line of the reply, without CR LF.
    void addLine(const QString &line);

    bool isComplete() const { return m_complete; }
    // The code of the last line taken: leading blanks, tabs, CR and LF
    // skipped, then the run of decimal digits; 0 when there is none.
    int code() const { return m_code; }
    QString lastLine() const { return m_lastLine; }

private:
    QString m_lastLine;
    int m_code = 0;
    bool m_complete = false;
};
