#include "transport/WSocketConnection.h"

#include <sys/socket.h>

void WSocketConnection::setEvents(std::function<void()> closed, std::function<void()> sent)
{
    m_socket.OnSessionClosed = closed ? TSessionEvent([closed](TCustomWSocket *, quint16) { closed(); }) : nullptr;
    m_socket.OnDataSent = sent ? TSessionEvent([sent](TCustomWSocket *, quint16) { sent(); }) : nullptr;
}

void WSocketConnection::ConnectTo(const QString &host, const QString &port)
{
    m_socket.setProto(QStringLiteral("tcp"));
    m_socket.setPort(port);
    m_socket.setAddr(host);
    // Lines are read with ReadLine only.
    m_socket.OnDataAvailable = nullptr;
    m_socket.Connect();
}

void WSocketConnection::Abort()
{
    m_socket.Shutdown(SHUT_RDWR);
    m_socket.Close();
}
