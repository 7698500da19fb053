#include "platform/Exception.h"

Exception::Exception(const QString &message) : m_message(message), m_utf8(message.toUtf8()) {}

QString Exception::messageOf(const std::exception &error)
{
    const auto *own = dynamic_cast<const Exception *>(&error);
    return own ? own->message() : QString::fromLocal8Bit(error.what());
}
