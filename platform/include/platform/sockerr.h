#pragma once
// Windows Sockets error numbers, as hosts, logs and messages expect them, from the errno
// values and Qt socket errors of this platform.

namespace platform {

enum : int {
    kWsaEintr = 10004,
    kWsaEbadf = 10009,
    kWsaEacces = 10013,
    kWsaEfault = 10014,
    kWsaEinval = 10022,
    kWsaEmfile = 10024,
    kWsaEwouldblock = 10035,
    kWsaEinprogress = 10036,
    kWsaEalready = 10037,
    kWsaEnotsock = 10038,
    kWsaEmsgsize = 10040,
    kWsaEaddrinuse = 10048,
    kWsaEaddrnotavail = 10049,
    kWsaEnetdown = 10050,
    kWsaEnetunreach = 10051,
    kWsaEnetreset = 10052,
    kWsaEconnaborted = 10053,
    kWsaEconnreset = 10054,
    kWsaEnobufs = 10055,
    kWsaEisconn = 10056,
    kWsaEnotconn = 10057,
    kWsaEshutdown = 10058,
    kWsaEtimedout = 10060,
    kWsaEconnrefused = 10061,
    kWsaEhostdown = 10064,
    kWsaEhostunreach = 10065,
    kWsaHostNotFound = 11001,
};

// errno -> the number above; 0 for 0; an errno without a counterpart gives kWsaEinval.
int WsaFromErrno(int err);
// A QAbstractSocket::SocketError value (passed as its number, so this layer needs no Qt)
// -> the number above; -1 (UnknownSocketError) and unknown values give kWsaEinval.
int WsaFromQtSocketError(int qtError);

}  // namespace platform
