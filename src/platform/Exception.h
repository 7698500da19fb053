#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

// Base of the system's own exceptions: each carries the text a user is shown.
class Exception : public std::exception
{
public:
    explicit Exception(const QString &message);
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

    // The text a user is shown for any exception: ours carry it, others
    // their what() in the locale's encoding.
    static QString messageOf(const std::exception &error);

private:
    QString m_message;
    QByteArray m_utf8;
};
