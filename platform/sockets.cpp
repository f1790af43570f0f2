// The parts of the socket layer both builds share: numeric addresses and name
// resolution. Everything that touches a socket is in native/ or win/.
#include "platform/sockets.h"

#include <cstring>

#include "platform/socket_address.h"

#ifndef _WIN32
#include <arpa/inet.h>
#include <netdb.h>
#endif

namespace net {

bool ParseNumericAddress(const std::string& text, std::uint16_t port, SocketAddress& address) {
    address = SocketAddress{};
    sockaddr_in ipv4{};
    if (::inet_pton(AF_INET, text.c_str(), &ipv4.sin_addr) == 1) {
        ipv4.sin_family = AF_INET;
        ipv4.sin_port = htons(port);
        std::memcpy(&address.storage, &ipv4, sizeof ipv4);
        address.length = sizeof ipv4;
        return true;
    }
    sockaddr_in6 ipv6{};
    if (::inet_pton(AF_INET6, text.c_str(), &ipv6.sin6_addr) == 1) {
        ipv6.sin6_family = AF_INET6;
        ipv6.sin6_port = htons(port);
        std::memcpy(&address.storage, &ipv6, sizeof ipv6);
        address.length = sizeof ipv6;
        return true;
    }
    return false;
}

SocketAddress Ipv4Address(std::uint32_t ipv4, std::uint16_t port) {
    sockaddr_in in{};
    in.sin_family = AF_INET;
    in.sin_port = htons(port);
    in.sin_addr.s_addr = htonl(ipv4);
    SocketAddress address;
    std::memcpy(&address.storage, &in, sizeof in);
    address.length = sizeof in;
    return address;
}

std::uint16_t PortOf(const SocketAddress& address) {
    if (address.family() == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&address.storage)->sin6_port);
    }
    return ntohs(reinterpret_cast<const sockaddr_in*>(&address.storage)->sin_port);
}

std::optional<Family> LoopbackFamily(const std::string& address) {
    SocketAddress parsed;
    if (!ParseNumericAddress(address, 0, parsed)) {
        return std::nullopt;
    }
    if (parsed.family() == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&parsed.storage);
        if ((ntohl(in->sin_addr.s_addr) >> 24) == 127) {
            return Family::Ipv4;
        }
        return std::nullopt;
    }
    const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&parsed.storage);
    static const unsigned char kLoopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    if (std::memcmp(&in6->sin6_addr, kLoopback, sizeof kLoopback) == 0) {
        return Family::Ipv6;
    }
    return std::nullopt;
}

bool ResolveIpv4(const std::string& host, std::uint32_t& ipv4) {
    if (host == "localhost") {
        ipv4 = INADDR_LOOPBACK;
        return true;
    }
    if (!StartSockets()) {
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) {
        return false;
    }
    ipv4 = ntohl(reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr.s_addr);
    ::freeaddrinfo(found);
    return true;
}

}  // namespace net
