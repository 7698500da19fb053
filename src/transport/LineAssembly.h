#pragma once

#include <QByteArray>

// One line gathered from the bytes a socket receives, however they are cut
// into reads: CR is dropped, LF ends the line. A line that reaches Limit
// characters ends there; what follows it is the start of the next line.
class LineAssembly
{
public:
    static constexpr int Limit = 254;

    enum class End { None, LineFeed, TooLong };
    struct Step
    {
        // Bytes taken from the front of what was offered; the rest belongs
        // to the next line.
        int taken = 0;
        End end = End::None;
    };

    // Starts a new line, unless the last one is still unfinished: a line cut
    // off by a time-out goes on with the next read.
    void begin();
    // Takes bytes up to the end of the line; reading stops when it ends.
    Step take(const char *bytes, int length);
    // Stops reading; what was gathered stays the line.
    void stop() { m_reading = false; }

    bool reading() const { return m_reading; }
    const QByteArray &line() const { return m_line; }

private:
    QByteArray m_line;
    bool m_reading = false;
};
