#include "platform/sockerr.h"

#include <gtest/gtest.h>

#include <QAbstractSocket>
#include <cerrno>

using namespace platform;

TEST(SocketErrors, FromErrno) {
    struct Case {
        int err, wsa;
    } const cases[] = {
        {0, 0},
        {EADDRINUSE, 10048},
        {ECONNREFUSED, 10061},
        {ETIMEDOUT, 10060},
        {EMFILE, 10024},
        {ENFILE, 10024},
        {ECONNRESET, 10054},
        {EPIPE, 10054},
        {EHOSTUNREACH, 10065},
        {ENOTSOCK, 10038},
        {EDOM, 10022},  // no counterpart
    };
    for (const Case& c : cases) EXPECT_EQ(WsaFromErrno(c.err), c.wsa) << c.err;
}

TEST(SocketErrors, FromQt) {
    struct Case {
        QAbstractSocket::SocketError qt;
        int wsa;
    } const cases[] = {
        {QAbstractSocket::ConnectionRefusedError, 10061},
        {QAbstractSocket::RemoteHostClosedError, 10054},
        {QAbstractSocket::HostNotFoundError, 11001},
        {QAbstractSocket::SocketTimeoutError, 10060},
        {QAbstractSocket::AddressInUseError, 10048},
        {QAbstractSocket::SocketAddressNotAvailableError, 10049},
        {QAbstractSocket::NetworkError, 10050},
        {QAbstractSocket::UnknownSocketError, 10022},
    };
    for (const Case& c : cases) EXPECT_EQ(WsaFromQtSocketError(c.qt), c.wsa) << int(c.qt);
}
