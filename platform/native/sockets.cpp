#include "platform/sockets.h"

#include "platform/socket_address.h"

#include <arpa/inet.h>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace net {
namespace {

IoStatus StatusFromErrno(int error) {
    switch (error) {
        case ECONNREFUSED:
            return IoStatus::Refused;
        case ECONNRESET:
        case EPIPE:
        case ECONNABORTED:
            return IoStatus::Reset;
        case ETIMEDOUT:
        case EAGAIN:
            return IoStatus::TimedOut;
        default:
            return IoStatus::Failed;
    }
}

// Waits for the given poll events; 1 ready, 0 timed out, -1 failed.
int WaitFor(NativeSocket socket, short events, int timeoutMs) {
    pollfd entry{socket, events, 0};
    for (;;) {
        int ready = ::poll(&entry, 1, timeoutMs < 0 ? -1 : timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        return ready < 0 ? -1 : (ready == 0 ? 0 : 1);
    }
}

}  // namespace

void CloseSocket(NativeSocket socket) {
    ::close(socket);
}

bool StartSockets() {
    return true;
}

Socket CreateTcpSocket(Family family) {
    Socket created(
        ::socket(family == Family::Ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (created && family == Family::Ipv6) {
        int yes = 1;
        ::setsockopt(created.get(), IPPROTO_IPV6, IPV6_V6ONLY, &yes, sizeof yes);
    }
    return created;
}

bool BindLoopback(const Socket& socket, std::uint16_t port) {
    int yes = 1;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return ::bind(socket.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
}

BindStatus BindLoopbackAddress(const Socket& socket, const std::string& address,
                               std::uint16_t port) {
    SocketAddress parsed;
    if (!LoopbackFamily(address) || !ParseNumericAddress(address, port, parsed)) {
        return BindStatus::Failed;
    }
    int yes = 1;
    ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    if (::bind(socket.get(), parsed.get(), static_cast<socklen_t>(parsed.length)) == 0) {
        return BindStatus::Ok;
    }
    switch (errno) {
        case EADDRNOTAVAIL:
        case EAFNOSUPPORT:
            return BindStatus::Unavailable;
        case EADDRINUSE:
            return BindStatus::InUse;
        default:
            return BindStatus::Failed;
    }
}

bool Listen(const Socket& socket) {
    return ::listen(socket.get(), SOMAXCONN) == 0;
}

std::uint16_t LocalPort(const Socket& socket) {
    SocketAddress address;
    socklen_t length = sizeof address.storage;
    if (::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&address.storage), &length) != 0) {
        return 0;
    }
    return PortOf(address);
}

Socket Accept(const Socket& listener, int timeoutMs) {
    if (timeoutMs >= 0 && WaitFor(listener.get(), POLLIN, timeoutMs) != 1) {
        return Socket();
    }
    Socket accepted;
    do {
        accepted.reset(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    } while (!accepted && errno == EINTR);
    if (accepted) {
        int yes = 1;
        ::setsockopt(accepted.get(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    }
    return accepted;
}

namespace {

IoStatus ConnectTo(const Socket& socket, const SocketAddress& address, int timeoutMs) {
    // Non-blocking connect so that the time limit applies; blocking again after.
    const int flags = ::fcntl(socket.get(), F_GETFL, 0);
    ::fcntl(socket.get(), F_SETFL, flags | O_NONBLOCK);
    IoStatus status = IoStatus::Ok;
    if (::connect(socket.get(), address.get(), static_cast<socklen_t>(address.length)) != 0) {
        if (errno != EINPROGRESS) {
            status = StatusFromErrno(errno);
        } else {
            int ready = WaitFor(socket.get(), POLLOUT, timeoutMs);
            if (ready == 0) {
                status = IoStatus::TimedOut;
            } else if (ready < 0) {
                status = IoStatus::Failed;
            } else {
                int error = 0;
                socklen_t length = sizeof error;
                ::getsockopt(socket.get(), SOL_SOCKET, SO_ERROR, &error, &length);
                status = error == 0 ? IoStatus::Ok : StatusFromErrno(error);
            }
        }
    }
    ::fcntl(socket.get(), F_SETFL, flags);
    if (status == IoStatus::Ok) {
        int yes = 1;
        ::setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
    }
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
        int ready = WaitFor(socket.get(), POLLOUT, timeoutMs);
        if (ready <= 0) {
            result.status = ready == 0 ? IoStatus::TimedOut : IoStatus::Failed;
            return result;
        }
        ssize_t sent = ::send(socket.get(), data + result.bytes, size - result.bytes,
                              MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            result.status = StatusFromErrno(errno);
            return result;
        }
        result.bytes += static_cast<std::size_t>(sent);
    }
    return result;
}

IoResult Receive(const Socket& socket, char* buffer, std::size_t size, int timeoutMs) {
    for (;;) {
        int ready = WaitFor(socket.get(), POLLIN, timeoutMs);
        if (ready <= 0) {
            return {ready == 0 ? IoStatus::TimedOut : IoStatus::Failed, 0};
        }
        ssize_t received = ::recv(socket.get(), buffer, size, MSG_DONTWAIT);
        if (received < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            return {StatusFromErrno(errno), 0};
        }
        if (received == 0) {
            return {IoStatus::Closed, 0};
        }
        return {IoStatus::Ok, static_cast<std::size_t>(received)};
    }
}

void ShutdownSend(const Socket& socket) {
    ::shutdown(socket.get(), SHUT_WR);
}

void CloseWithReset(Socket& socket) {
    if (!socket) {
        return;
    }
    linger abortive{1, 0};
    ::setsockopt(socket.get(), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    socket.reset();
}

}  // namespace net
