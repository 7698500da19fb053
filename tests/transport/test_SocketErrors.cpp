#include "transport/SocketErrors.h"
#include "transport/SocketNames.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <netdb.h>

TEST(SocketErrors, PosixErrorsReadAsTheKnownNumbersAndTexts)
{
    EXPECT_EQ(SocketErrors::fromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrors::fromErrno(EWOULDBLOCK), 10035);
    EXPECT_EQ(SocketErrors::fromErrno(ENOTCONN), 10057);
    EXPECT_EQ(SocketErrors::fromErrno(ECONNRESET), 10054);
    EXPECT_EQ(SocketErrors::fromErrno(EPIPE), 10054);
    // A connect a firewall rule refuses, and one the system forbids.
    EXPECT_EQ(SocketErrors::fromErrno(EPERM), 10013);
    EXPECT_EQ(SocketErrors::fromErrno(EACCES), 10013);
    EXPECT_EQ(SocketErrors::fromErrno(EADDRNOTAVAIL), 10049);
    EXPECT_EQ(SocketErrors::fromErrno(0), 0);
    EXPECT_EQ(SocketErrors::fromLookup(EAI_NONAME), 11001);
    EXPECT_EQ(SocketErrors::text(10061), "Connection refused");
    EXPECT_EQ(SocketErrors::text(0), "No Error");
    EXPECT_EQ(SocketErrors::text(11004), "No Data");
    EXPECT_EQ(SocketErrors::text(12345), "Not a WinSock error");
    EXPECT_EQ(SocketErrors::message(10057, "Send"), "Error 10057 in function Send\r\nSocket is not connected");
}

TEST(SocketNames, PortsAndProtocolsByNumberOrName)
{
    EXPECT_EQ(SocketNames::portNumber("smtp", "tcp"), 25);
    EXPECT_EQ(SocketNames::portNumber("smtp", ""), 25);
    EXPECT_EQ(SocketNames::portNumber("2525", "tcp"), 2525);
    EXPECT_EQ(SocketNames::portNumber("no-such-service", "tcp"), std::nullopt);
    EXPECT_EQ(SocketNames::protocolNumber("tcp"), 6);
    EXPECT_EQ(SocketNames::protocolNumber("udp"), 17);
    EXPECT_EQ(SocketNames::protocolNumber("17"), 17);
    EXPECT_EQ(SocketNames::protocolNumber("no-such-proto"), std::nullopt);
    EXPECT_EQ(SocketNames::hostAddress("127.0.0.1"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(SocketNames::hostAddress("255.255.255.255"), INADDR_BROADCAST);
    EXPECT_EQ(SocketNames::hostAddress("localhost"), htonl(INADDR_LOOPBACK));
    EXPECT_EQ(SocketNames::hostAddress(""), std::nullopt);
}
