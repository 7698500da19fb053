#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

// One SMTP reply as it arrives, line by line. A line whose fourth character is
// "-" announces another line; the reply ends with the first line that does
// not, and the code of that last line is the reply's code.
//
// A reply is bounded as a whole, for every reader alike: a server that keeps
// sending continuation lines gets no more time than one line would, and no
// more than MaxSize bytes.
class TSmtpReply
{
public:
    // Far beyond any real reply (a long EHLO list is a few hundred bytes).
    static constexpr qsizetype MaxSize = 64 * 1024;

    // timeLimitMs: the time the whole reply may take; negative for no limit.
    explicit TSmtpReply(qint64 timeLimitMs = -1);

    // Takes the next line of the reply, without CR LF.
    void addLine(const QString &line);
    // The same for a line as it came from the server: see lineText.
    void addLine(const QByteArray &raw) { addLine(lineText(raw)); }

    // A line's bytes as text, one character a byte. A NUL byte is shown as
    // "\0", so it neither ends the line early nor hides the rest of it.
    static QString lineText(const QByteArray &raw);

    bool isComplete() const { return m_complete; }
    // The code of the last line taken: leading blanks, tabs, CR and LF
    // skipped, then the run of decimal digits; 0 when there is none.
    int code() const { return m_code; }
    QString lastLine() const { return m_lastLine; }

    // More than MaxSize bytes arrived without the reply ending.
    bool isTooLong() const { return m_size > MaxSize; }
    // The time left for the rest of the reply, in counts of countMs
    // (rounded up); 0 when it has run out.
    int remainingCounts(int countMs) const;

    // The enhanced status code (RFC 3463) a reply line carries after its
    // code, as sent: "5.1.1" of "550 5.1.1 no such user". Its class must be
    // the first digit of the reply code and each number at most three
    // digits; empty when the line carries none. Only a server that offered
    // ENHANCEDSTATUSCODES means it as one.
    static QString enhancedCode(const QString &line);

    // A 4xx code: the server cannot take it now and the same may succeed
    // later ("451", "421 try again later", "454 throttling"). A 5xx code says
    // it never will.
    static bool isTransient(int code) { return code >= 400 && code <= 499; }

private:
    QString m_lastLine;
    int m_code = 0;
    bool m_complete = false;
    qsizetype m_size = 0;
    QDeadlineTimer m_deadline;
};
