#include "transport/ScriptedConnection.h"

#include "platform/Wait.h"

#include <gtest/gtest.h>
#include <utility>

void ScriptedConnection::setEvents(std::function<void()> closed, std::function<void()>)
{
    m_closed = std::move(closed);
}

void ScriptedConnection::ConnectTo(const QString &, const QString &)
{
    ++m_connects;
    m_encrypted = false;
    m_state = refuseConnection ? wsClosed : wsConnected;
}

bool ScriptedConnection::WaitConnected(qint32)
{
    return m_state == wsConnected;
}

bool ScriptedConnection::beginStep()
{
    if (m_next >= m_steps.size())
        return false;
    const Step &step = m_steps.at(m_next++);
    EXPECT_EQ(writtenSinceLastStep(), step.client) << "client's bytes before step " << m_next;
    m_checkedUpTo = m_written.size();
    m_reads = step.server;
    m_hangUpAfterReads = step.hangUp;
    return true;
}

void ScriptedConnection::ReadLine(qint32 timeoutSeconds, QByteArray &line)
{
    m_line.begin();
    bool stepBegun = false;
    while (m_line.reading() && m_state == wsConnected) {
        if (m_reads.isEmpty()) {
            if (m_hangUpAfterReads) {
                m_hangUpAfterReads = false;
                m_line.stop();
                Close();
                break;
            }
            // One step per read at most: a step without reads is silence.
            if (stepBegun || !beginStep()) {
                waitOut(timeoutSeconds);
                break;
            }
            stepBegun = true;
            continue;
        }
        QByteArray &read = m_reads.first();
        const LineAssembly::Step taken = m_line.take(read.constData(), static_cast<int>(read.size()));
        read.remove(0, taken.taken);
        if (read.isEmpty())
            m_reads.removeFirst();
    }
    line = m_line.line();
}

void ScriptedConnection::waitOut(qint32 counts)
{
    if (!m_wait)
        return;
    m_wait->Caption = QString::number(counts);
    m_wait->Execute();
}

void ScriptedConnection::SendStr(const QByteArray &bytes)
{
    if (m_state != wsConnected)
        return;
    m_written.append(bytes);
    m_flight.append(bytes);
    if (!m_moreToFollow)
        setMoreToFollow(false);
}

void ScriptedConnection::setMoreToFollow(bool more)
{
    m_moreToFollow = more;
    if (!more && !m_flight.isEmpty())
        m_flights.append(std::exchange(m_flight, QByteArray()));
}

void ScriptedConnection::Close()
{
    if (m_state == wsClosed)
        return;
    m_state = wsClosed;
    if (m_closed)
        m_closed();
}
