#include "send/ResumePosition.h"

#include <algorithm>

void TResumePosition::delivered(int member)
{
    m_missed.erase(member);
    handled(member);
}

void TResumePosition::missed(int member)
{
    m_missed.insert(member);
    handled(member);
}

void TResumePosition::handled(int member)
{
    m_next = std::max(m_next, member + 1);
}

int TResumePosition::position() const
{
    return m_missed.empty() ? m_next : std::min(*m_missed.begin(), m_next);
}
