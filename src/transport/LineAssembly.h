#pragma once

#include <QByteArray>

// One line gathered from the bytes a socket receives, however they are cut
// into reads: CR is dropped, LF ends the line. A line keeps at most Limit
// octets (the longest reply line a server may send); the rest of a longer
// line is taken and dropped up to its LF, so the next line read is the next
// line the peer sent, never the tail of this one.
class LineAssembly
{
public:
    static constexpr int Limit = 512;

    enum class End { None, LineFeed };
    struct Step
    {
        // Bytes taken from the front of what was offered; the rest belongs
        // to the next line.
        int taken = 0;
        End end = End::None;
        // The line went past Limit within this step: the rest is dropped.
        bool overLimit = false;
    };

    // Starts a new line, unless the last one is still unfinished: a line cut
    // off by a time-out goes on with the next read, dropping as it did.
    void begin();
    // Takes bytes up to the end of the line; reading stops when it ends.
    Step take(const char *bytes, int length);
    // Stops reading; what was gathered stays the line.
    void stop() { m_reading = false; }

    bool reading() const { return m_reading; }
    const QByteArray &line() const { return m_line; }
    // The line was longer than Limit and is cut there.
    bool cut() const { return m_dropping; }

private:
    QByteArray m_line;
    bool m_reading = false;
    bool m_dropping = false;
};
