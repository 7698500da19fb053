#pragma once

#include <QString>

// The name a client gives in HELO and EHLO: its fully qualified domain name
// when it has one, otherwise the address it connects from as an address
// literal ("[192.0.2.1]", "[IPv6:2001:db8::1]"). A bare word is no name a
// server can check; many score or refuse it.
namespace GreetingName {

// A domain name of two labels or more, each of letters, digits and inner
// hyphens, as a host's own name would be. "localhost" and names under
// "localdomain" name no host to anyone else.
bool isFullyQualified(const QString &name);

// The literal for a textual IPv4 or IPv6 address; an IPv4 address seen
// through IPv6 is written as IPv4. Empty for anything else.
QString addressLiteral(const QString &address);

// `hostName` when it is fully qualified (a trailing dot dropped), otherwise
// the literal of `localAddress`; `hostName` as it is when that is no address.
QString choose(const QString &hostName, const QString &localAddress);

// The choice for this machine's host name and the address the connection
// goes out from; raises ESocketException when the host name cannot be read.
QString forConnection(const QString &localAddress);

} // namespace GreetingName
