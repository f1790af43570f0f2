#include "platform/sockets.h"

#include "platform/socket_address.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace net {
namespace {

IoStatus StatusFromError(int error) {
    switch (error) {
        case WSAECONNREFUSED:
            return IoStatus::Refused;
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAESHUTDOWN:
            return IoStatus::Reset;
        case WSAETIMEDOUT:
            return IoStatus::TimedOut;
        default:
            return IoStatus::Failed;
    }
}

// One poll entry per wait, never select() with the socket in two sets: that
// tripped an assertion in the Windows emulation the tests run under.
// Returns the reported events (at least 1), 0 on time-out, -1 on failure.
int WaitFor(NativeSocket socket, short events, int timeoutMs) {
    WSAPOLLFD entry{};
    entry.fd = static_cast<SOCKET>(socket);
    entry.events = events;
    int count = ::WSAPoll(&entry, 1, timeoutMs < 0 ? -1 : timeoutMs);
    if (count == SOCKET_ERROR) {
        return -1;
    }
    return count == 0 ? 0 : (entry.revents == 0 ? 1 : entry.revents);
}

int SocketError(NativeSocket socket) {
    int error = 0;
    int length = sizeof error;
    ::getsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error),
                 &length);
    return error;
}

void SetBlocking(NativeSocket socket, bool blocking) {
    u_long nonBlocking = blocking ? 0 : 1;
    ::ioctlsocket(static_cast<SOCKET>(socket), FIONBIO, &nonBlocking);
}

}  // namespace

void CloseSocket(NativeSocket socket) {
    ::closesocket(static_cast<SOCKET>(socket));
}

bool StartSockets() {
    static std::once_flag once;
    static bool started = false;
    std::call_once(once, [] {
        WSADATA data;
        started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return started;
}

Socket CreateTcpSocket(Family family) {
    if (!StartSockets()) {
        return Socket();
    }
    SOCKET s = ::socket(family == Family::Ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        return Socket();
    }
    if (family == Family::Ipv6) {
        DWORD yes = 1;
        ::setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&yes), sizeof yes);
    }
    return Socket(static_cast<NativeSocket>(s));
}

bool BindLoopback(const Socket& socket, std::uint16_t port) {
    // Exclusive use: a second server must never share a port that is taken.
    BOOL yes = TRUE;
    ::setsockopt(static_cast<SOCKET>(socket.get()), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&yes), sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::bind(static_cast<SOCKET>(socket.get()), reinterpret_cast<sockaddr*>(&address),
                  sizeof address) == 0;
}

BindStatus BindLoopbackAddress(const Socket& socket, const std::string& address,
                               std::uint16_t port) {
    SocketAddress parsed;
    if (!LoopbackFamily(address) || !ParseNumericAddress(address, port, parsed)) {
        return BindStatus::Failed;
    }
    // Exclusive use, as above.
    BOOL yes = TRUE;
    ::setsockopt(static_cast<SOCKET>(socket.get()), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                 reinterpret_cast<const char*>(&yes), sizeof yes);
    if (::bind(static_cast<SOCKET>(socket.get()), parsed.get(), parsed.length) == 0) {
        return BindStatus::Ok;
    }
    switch (::WSAGetLastError()) {
        case WSAEADDRNOTAVAIL:
        case WSAEAFNOSUPPORT:
            return BindStatus::Unavailable;
        case WSAEADDRINUSE:
        case WSAEACCES:  // what an exclusive holder of the port answers
            return BindStatus::InUse;
        default:
            return BindStatus::Failed;
    }
}

bool Listen(const Socket& socket) {
    return ::listen(static_cast<SOCKET>(socket.get()), SOMAXCONN) == 0;
}

std::uint16_t LocalPort(const Socket& socket) {
    SocketAddress address;
    int length = sizeof address.storage;
    if (::getsockname(static_cast<SOCKET>(socket.get()),
                      reinterpret_cast<sockaddr*>(&address.storage), &length) != 0) {
        return 0;
    }
    return PortOf(address);
}

Socket Accept(const Socket& listener, int timeoutMs) {
    if (timeoutMs >= 0 && WaitFor(listener.get(), POLLRDNORM, timeoutMs) <= 0) {
        return Socket();
    }
    SOCKET s = ::accept(static_cast<SOCKET>(listener.get()), nullptr, nullptr);
    if (s == INVALID_SOCKET) {
        return Socket();
    }
    // Sockets accepted from a listener inherit nothing we rely on; make sure
    // they block, since the waits below bound every call.
    SetBlocking(static_cast<NativeSocket>(s), true);
    BOOL yes = TRUE;
    ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&yes), sizeof yes);
    return Socket(static_cast<NativeSocket>(s));
}

namespace {

IoStatus ConnectTo(const Socket& socket, const SocketAddress& address, int timeoutMs) {
    SOCKET s = static_cast<SOCKET>(socket.get());
    SetBlocking(socket.get(), false);
    IoStatus status = IoStatus::Ok;
    if (::connect(s, address.get(), address.length) != 0) {
        int error = ::WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            status = StatusFromError(error);
        } else {
            // A refused connection shows as an error or hang-up event, and
            // on some systems as nothing at all until the time-out.
            int ready = WaitFor(socket.get(), POLLWRNORM, timeoutMs);
            if (ready == 0) {
                status = IoStatus::TimedOut;
            } else if (ready < 0) {
                status = IoStatus::Failed;
            } else {
                int soError = SocketError(socket.get());
                if (soError != 0) {
                    status = StatusFromError(soError);
                } else if (ready & (POLLERR | POLLHUP)) {
                    status = IoStatus::Refused;
                }
            }
        }
    }
    SetBlocking(socket.get(), true);
    return status;
}

}  // namespace

IoStatus Connect(const Socket& socket, std::uint32_t ipv4, std::uint16_t port, int timeoutMs) {
    return ConnectTo(socket, Ipv4Address(ipv4, port), timeoutMs);
}

IoStatus ConnectAddress(const Socket& socket, const std::string& address, std::uint16_t port,
                        int timeoutMs) {
    SocketAddress parsed;
    if (!ParseNumericAddress(address, port, parsed)) {
        return IoStatus::Failed;
    }
    return ConnectTo(socket, parsed, timeoutMs);
}

IoResult SendAll(const Socket& socket, const char* data, std::size_t size, int timeoutMs) {
    IoResult result{IoStatus::Ok, 0};
    while (result.bytes < size) {
        int ready = WaitFor(socket.get(), POLLWRNORM, timeoutMs);
        if (ready <= 0) {
            result.status = ready == 0 ? IoStatus::TimedOut : IoStatus::Failed;
            return result;
        }
        std::size_t left = size - result.bytes;
        int piece = left > 65536 ? 65536 : static_cast<int>(left);
        int sent = ::send(static_cast<SOCKET>(socket.get()), data + result.bytes, piece, 0);
        if (sent == SOCKET_ERROR) {
            result.status = StatusFromError(::WSAGetLastError());
            return result;
        }
        result.bytes += static_cast<std::size_t>(sent);
    }
    return result;
}

IoResult Receive(const Socket& socket, char* buffer, std::size_t size, int timeoutMs) {
    // Hang-up and error events fall through to recv(), which tells which.
    int ready = WaitFor(socket.get(), POLLRDNORM, timeoutMs);
    if (ready <= 0) {
        return {ready == 0 ? IoStatus::TimedOut : IoStatus::Failed, 0};
    }
    int piece = size > 65536 ? 65536 : static_cast<int>(size);
    int received = ::recv(static_cast<SOCKET>(socket.get()), buffer, piece, 0);
    if (received == SOCKET_ERROR) {
        return {StatusFromError(::WSAGetLastError()), 0};
    }
    if (received == 0) {
        return {IoStatus::Closed, 0};
    }
    return {IoStatus::Ok, static_cast<std::size_t>(received)};
}

void ShutdownSend(const Socket& socket) {
    ::shutdown(static_cast<SOCKET>(socket.get()), SD_SEND);
}

void CloseWithReset(Socket& socket) {
    if (!socket) {
        return;
    }
    linger abortive{};
    abortive.l_onoff = 1;
    abortive.l_linger = 0;
    ::setsockopt(static_cast<SOCKET>(socket.get()), SOL_SOCKET, SO_LINGER,
                 reinterpret_cast<const char*>(&abortive), sizeof abortive);
    socket.reset();
}

}  // namespace net
