#include "platform/sockerr.h"

#include <cerrno>

namespace platform {

int WsaFromErrno(int err) {
    struct Row {
        int err, wsa;
    };
    static const Row kRows[] = {
        {EINTR, kWsaEintr},           {EBADF, kWsaEbadf},
        {EACCES, kWsaEacces},         {EPERM, kWsaEacces},
        {EFAULT, kWsaEfault},         {EINVAL, kWsaEinval},
        {EMFILE, kWsaEmfile},         {ENFILE, kWsaEmfile},
        {EWOULDBLOCK, kWsaEwouldblock}, {EINPROGRESS, kWsaEinprogress},
        {EALREADY, kWsaEalready},     {ENOTSOCK, kWsaEnotsock},
        {EMSGSIZE, kWsaEmsgsize},     {EADDRINUSE, kWsaEaddrinuse},
        {EADDRNOTAVAIL, kWsaEaddrnotavail}, {ENETDOWN, kWsaEnetdown},
        {ENETUNREACH, kWsaEnetunreach}, {ENETRESET, kWsaEnetreset},
        {ECONNABORTED, kWsaEconnaborted}, {ECONNRESET, kWsaEconnreset},
        {EPIPE, kWsaEconnreset},      {ENOBUFS, kWsaEnobufs},
        {ENOMEM, kWsaEnobufs},        {EISCONN, kWsaEisconn},
        {ENOTCONN, kWsaEnotconn},     {ESHUTDOWN, kWsaEshutdown},
        {ETIMEDOUT, kWsaEtimedout},   {ECONNREFUSED, kWsaEconnrefused},
        {EHOSTDOWN, kWsaEhostdown},   {EHOSTUNREACH, kWsaEhostunreach},
    };
    if (err == 0) return 0;
    for (const Row& r : kRows) {
        if (r.err == err) return r.wsa;
    }
    return kWsaEinval;
}

int WsaFromQtSocketError(int qtError) {
    // QAbstractSocket::SocketError numbers, stable across Qt 5 and 6.
    static const int kByQtError[] = {
        kWsaEconnrefused,   // 0 ConnectionRefusedError
        kWsaEconnreset,     // 1 RemoteHostClosedError
        kWsaHostNotFound,   // 2 HostNotFoundError
        kWsaEacces,         // 3 SocketAccessError
        kWsaEnobufs,        // 4 SocketResourceError
        kWsaEtimedout,      // 5 SocketTimeoutError
        kWsaEmsgsize,       // 6 DatagramTooLargeError
        kWsaEnetdown,       // 7 NetworkError
        kWsaEaddrinuse,     // 8 AddressInUseError
        kWsaEaddrnotavail,  // 9 SocketAddressNotAvailableError
        kWsaEinval,         // 10 UnsupportedSocketOperationError
        kWsaEinval,         // 11 UnfinishedSocketOperationError
    };
    if (qtError >= 0 && qtError < static_cast<int>(sizeof kByQtError / sizeof kByQtError[0])) {
        return kByQtError[qtError];
    }
    return kWsaEinval;
}

}  // namespace platform
