// A numeric socket address of either family, as both socket layers bind and
// connect with it.
#pragma once

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace net {

struct SocketAddress {
    sockaddr_storage storage{};
    int length = 0;

    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    int family() const { return storage.ss_family; }
};

// Parses a numeric IPv4 or IPv6 address (no names, no brackets); false for
// anything else.
bool ParseNumericAddress(const std::string& text, std::uint16_t port, SocketAddress& address);

// An IPv4 address given in host byte order.
SocketAddress Ipv4Address(std::uint32_t ipv4, std::uint16_t port);

// The port of a bound or connected socket's own address, of either family.
std::uint16_t PortOf(const SocketAddress& address);

}  // namespace net
