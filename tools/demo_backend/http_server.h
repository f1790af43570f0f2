// A one-connection-at-a-time HTTP/1.0 server on 127.0.0.1 for the demo back
// end. The engine sends one request at a time, so nothing is gained by more.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string_view>

#include "platform/sockets.h"
#include "tools/demo_backend/demo_service.h"

namespace demo_backend {

class HttpServer {
  public:
    using Handler = std::function<Response(std::string_view method, std::string_view target,
                                           std::string_view body)>;

    // Binds 127.0.0.1:port (0 = a free port) and listens; throws
    // std::runtime_error when the port is taken.
    explicit HttpServer(std::uint16_t port);

    std::uint16_t Port() const { return port_; }

    // Serves until `stop` is set (checked several times a second); writes a
    // line per request to `log` when given. Returns the number of requests.
    std::size_t Run(const std::atomic<bool>& stop, const Handler& handler, std::ostream* log);

  private:
    net::Socket listener_;
    std::uint16_t port_ = 0;
};

}  // namespace demo_backend
