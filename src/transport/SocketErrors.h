#pragma once

#include <QString>

// The socket reports failures with the error numbers and texts users of the
// original platform knew (10061 "Connection refused" and so on); these map
// the POSIX error values onto them.
namespace SocketErrors {

enum : int {
    WouldBlock = 10035,
    InvalidArgument = 10022,
    NotASocket = 10038,
    ConnectionReset = 10054,
    NotConnected = 10057,
    HostNotFound = 11001,
    TryAgain = 11002,
    NoRecovery = 11003,
    NoData = 11004,
};

// errno to error number; 0 stays 0, an unknown value is passed through.
int fromErrno(int error);
// getaddrinfo() result to error number.
int fromLookup(int result);
// "Connection refused" for 10061, "Not a WinSock error" for unknown numbers.
QString text(int error);
// "Error 10057 in function Send" + CR LF + "Socket is not connected".
QString message(int error, const QString &operation);

} // namespace SocketErrors
