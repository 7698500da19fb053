#pragma once

#include <QString>
#include <netinet/in.h>
#include <optional>

// Blocking conversions of the socket's property texts.
namespace SocketNames {

// Leading blanks, then decimal digits: "  25x" is 25.
int leadingNumber(const QString &text);
// A number when the text starts with a digit, else a protocol name ("tcp").
std::optional<int> protocolNumber(const QString &text);
// A number when the text starts with a digit, else a service name ("smtp",
// also "SMTP") looked up without regard to case for the protocol name, or for
// any protocol when that is empty.
std::optional<quint16> portNumber(const QString &text, const QString &protocolName);
// Dotted IPv4 address or host name (first IPv4 address found), network order.
std::optional<in_addr_t> hostAddress(const QString &text);

} // namespace SocketNames
