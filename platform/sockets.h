// A tiny portable TCP layer (BSD sockets natively, Winsock on Windows) for the
// native HTTP client stand-in, the loopback test back ends and the bridge.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/unique_resource.h"

namespace net {

#ifdef _WIN32
using NativeSocket = std::uintptr_t;
#else
using NativeSocket = int;
#endif

// Gives a socket back to the system.
void CloseSocket(NativeSocket socket);

// Owns one socket; closing it is the only way to give it back. -1 (all bits
// set on Windows) is no socket.
using Socket = UniqueResource<NativeSocket, CloseSocket, -1>;

enum class IoStatus {
    Ok,        // the operation moved at least one byte (or connected)
    Closed,    // the peer ended the stream in order
    TimedOut,  // nothing happened within the time limit
    Refused,   // nobody listens at the address
    Reset,     // the peer aborted the connection
    Failed,    // any other error
};

struct IoResult {
    IoStatus status = IoStatus::Failed;
    std::size_t bytes = 0;
};

// Makes the socket library usable in this process; safe to call repeatedly.
bool StartSockets();

enum class Family { Ipv4, Ipv6 };

// A blocking TCP socket, or an invalid one (also where the machine lacks the
// family). An IPv6 socket serves IPv6 only.
Socket CreateTcpSocket(Family family = Family::Ipv4);

// Binds to 127.0.0.1:port (0 = a free port chosen by the system).
bool BindLoopback(const Socket& socket, std::uint16_t port);

// The family of a numeric loopback address (127.0.0.0/8 or ::1); nullopt for
// anything else, names included: "localhost" may stand for either.
std::optional<Family> LoopbackFamily(const std::string& address);

enum class BindStatus {
    Ok,
    Unavailable,  // the machine has no such address (no IPv6 loopback)
    InUse,        // another socket holds the port
    Failed,       // any other reason, a non-loopback address included
};

// Binds a socket of the address's family to a numeric loopback address.
BindStatus BindLoopbackAddress(const Socket& socket, const std::string& address,
                               std::uint16_t port);
bool Listen(const Socket& socket);
std::uint16_t LocalPort(const Socket& socket);

// Waits up to timeoutMs for a connection; an invalid socket on time-out or error.
// A negative timeoutMs waits in the accept call itself, where of several
// threads waiting on one listener the system wakes one per connection.
Socket Accept(const Socket& listener, int timeoutMs);

// Connects to an IPv4 address given in host byte order.
IoStatus Connect(const Socket& socket, std::uint32_t ipv4, std::uint16_t port, int timeoutMs);
// Connects to a numeric IPv4 or IPv6 address ("127.0.0.1", "::1") with a
// socket of its family; Failed when the text is no such address.
IoStatus ConnectAddress(const Socket& socket, const std::string& address, std::uint16_t port,
                        int timeoutMs);

// Sends all bytes unless the time limit passes between two progress steps.
IoResult SendAll(const Socket& socket, const char* data, std::size_t size, int timeoutMs);

// One receive of at most size bytes, waiting up to timeoutMs for the first.
IoResult Receive(const Socket& socket, char* buffer, std::size_t size, int timeoutMs);

// Sends the end-of-stream marker to the peer; receiving stays possible.
void ShutdownSend(const Socket& socket);

// Closes so that the peer sees a connection reset instead of an orderly end.
void CloseWithReset(Socket& socket);

// Resolves a host name to an IPv4 address in host byte order ("localhost" is
// always the loopback address, whatever the resolver prefers).
bool ResolveIpv4(const std::string& host, std::uint32_t& ipv4);

}  // namespace net
