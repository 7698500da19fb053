#pragma once

#include <set>

// Where a resumed send goes on: the first member that did not get the
// message. A run starts at some member and handles the members in order;
// each either got the message or did not (it failed, the server turned it
// away for now and no later pass got it through, or Cancel kept it back).
// A member that did not get it keeps the position at or before it whatever
// is sent after it; one turned away for now that a later pass gets through
// no longer holds it back. Members numbered from 1.
class TResumePosition
{
public:
    // A run that starts with member first.
    explicit TResumePosition(int first = 1) : m_next(first) {}

    void delivered(int member);
    void missed(int member);

    // The first member missed, or, when none is, the one after the last
    // handled.
    int position() const;

private:
    void handled(int member);

    int m_next;
    std::set<int> m_missed;
};
