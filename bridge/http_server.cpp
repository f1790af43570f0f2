#include "bridge/http_server.h"

#include <algorithm>
#include <stdexcept>
#include <system_error>

namespace bridge {
namespace {

constexpr int kPollMs = 100;
constexpr std::size_t kMaxHeadBytes = 64 * 1024;
// After replying, unread request bytes are drained this long at most, so that
// closing does not reset the connection before the client has read the reply.
constexpr int kDrainMs = 1000;

using Clock = std::chrono::steady_clock;

std::chrono::milliseconds Since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
}

int RemainingMs(Clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(left);
}

std::string Bracketed(const std::string& address) {
    return address.find(':') == std::string::npos ? address : "[" + address + "]";
}

enum class ReadEnd { Whole, TimedOut, Gone, Stopping };

}  // namespace

HttpServer::HttpServer(const std::vector<std::string>& addresses, std::uint16_t port,
                       ServerLimits limits, RequestHandler& handler)
    : limits_(limits), handler_(handler), port_(port) {
    if (!net::StartSockets()) {
        throw std::runtime_error("the socket library could not be started");
    }
    for (const std::string& address : addresses) {
        const std::optional<net::Family> family = net::LoopbackFamily(address);
        if (!family) {
            throw std::runtime_error(address + " is not a loopback address");
        }
        net::Socket listener = net::CreateTcpSocket(*family);
        net::BindStatus status = listener ? net::BindLoopbackAddress(listener, address, port_)
                                          : net::BindStatus::Unavailable;
        if (status == net::BindStatus::Unavailable && *family == net::Family::Ipv6) {
            skipped_.push_back(address);
            continue;
        }
        if (status != net::BindStatus::Ok || !net::Listen(listener)) {
            throw std::runtime_error(
                "cannot listen on " + Bracketed(address) + ":" + std::to_string(port_) +
                (status == net::BindStatus::InUse ? ": another program holds the port" : ""));
        }
        if (port_ == 0) {
            port_ = net::LocalPort(listener);  // the others take the same port
        }
        bound_.push_back(address);
        listeners_.push_back(std::move(listener));
    }
    if (listeners_.empty()) {
        throw std::runtime_error("no address to listen on");
    }
    // Each listener has one thread more than may serve at once, the one that
    // answers 503 when all the others serve. Every thread waits in accept
    // itself and serves what it accepted: the system wakes one waiting thread
    // per connection, and no hand-off to another thread lies between a
    // connection and its request.
    accepting_.assign(listeners_.size(), 0);
    const std::size_t perListener = std::max<std::size_t>(limits_.maxConnections, 1) + 1;
    try {
        for (std::size_t i = 0; i < listeners_.size(); ++i) {
            for (std::size_t n = 0; n < perListener; ++n) {
                threads_.emplace_back([this, i] { AcceptAndServe(i); });
            }
        }
    } catch (const std::system_error& error) {
        Stop(std::chrono::milliseconds(0));
        for (std::thread& thread : threads_) {
            thread.join();
        }
        throw std::runtime_error("cannot start " + std::to_string(perListener) +
                                 " threads for each address: " + error.what());
    }
}

HttpServer::~HttpServer() {
    Stop(std::chrono::milliseconds(0));
    for (std::thread& thread : threads_) {
        thread.join();
    }
}

bool HttpServer::Stop(std::chrono::milliseconds grace) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;  // from here on no thread starts another accept
    }
    WakeAcceptors();
    std::unique_lock<std::mutex> lock(mutex_);
    listeners_.clear();  // new connections are refused from here on
    return idle_.wait_for(lock, grace, [this] { return busy_ == 0 && draining_ == 0; });
}

// Each thread still in accept gets a connection of the server's own, which it
// takes for the sign to end.
void HttpServer::WakeAcceptors() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (std::any_of(accepting_.begin(), accepting_.end(),
                       [](std::size_t waiting) { return waiting > 0; })) {
        const std::vector<std::size_t> waiting = accepting_;
        lock.unlock();
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            for (std::size_t n = 0; n < waiting[i]; ++n) {
                net::Socket socket = net::CreateTcpSocket(*net::LoopbackFamily(bound_[i]));
                net::ConnectAddress(socket, bound_[i], port_, kPollMs);
            }
        }
        lock.lock();
        idle_.wait_for(lock, std::chrono::milliseconds(kPollMs), [this] {
            return std::all_of(accepting_.begin(), accepting_.end(),
                               [](std::size_t waiting) { return waiting == 0; });
        });
    }
}

void HttpServer::AcceptAndServe(std::size_t listener) {
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stopping_) {
                return;
            }
            ++accepting_[listener];
        }
        Pending connection{net::Accept(listeners_[listener], -1), Clock::now()};
        bool serve = false;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            --accepting_[listener];
            if (stopping_) {
                idle_.notify_all();
                return;  // the connection, the server's own or a late one, is closed
            }
            serve = busy_ < limits_.maxConnections;
            if (connection.socket && serve) {
                ++busy_;
                connection.serving = true;
            }
        }
        if (!connection.socket) {
            // So that a lack of descriptors does not make the thread spin.
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        } else if (serve) {
            Serve(connection);
            Release(connection);
            connection.socket.reset();
        } else {
            Refuse(connection);
        }
    }
}

void HttpServer::Refuse(Pending& connection) {
    const Reply reply =
        ErrorReply(503, "the bridge serves " + std::to_string(limits_.maxConnections) +
                            " connections at once; try again");
    handler_.Refused(reply, Since(connection.accepted));
    Finish(connection, reply, "HTTP/1.0");
}

void HttpServer::Release(Pending& connection) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!connection.serving) {
            return;
        }
        connection.serving = false;
        --busy_;
    }
    idle_.notify_all();
}

void HttpServer::Serve(Pending& connection) {
    const Clock::time_point deadline = connection.accepted + limits_.requestTimeout;
    std::string received;
    char buffer[16384];
    // Receives more bytes until the deadline; the stop flag is looked at in between.
    auto receiveMore = [&]() -> ReadEnd {
        for (;;) {
            const int left = RemainingMs(deadline);
            if (left == 0) {
                return ReadEnd::TimedOut;
            }
            const net::IoResult got =
                net::Receive(connection.socket, buffer, sizeof buffer, std::min(left, kPollMs));
            if (got.status == net::IoStatus::Ok) {
                received.append(buffer, got.bytes);
                return ReadEnd::Whole;
            }
            if (got.status != net::IoStatus::TimedOut) {
                return ReadEnd::Gone;
            }
            // A client still sending when the bridge stops is let go; one
            // whose request has arrived is served.
            if (stopping_) {
                return ReadEnd::Stopping;
            }
        }
    };
    auto timedOut = [&] {
        const Reply reply = ErrorReply(408, "request not complete within " +
                                                std::to_string(limits_.requestTimeout.count()) +
                                                " ms; connection closed");
        handler_.Refused(reply, Since(connection.accepted));
        Finish(connection, reply, "HTTP/1.0");
    };

    std::string version = "HTTP/1.0";
    try {
        std::size_t headEnd = std::string::npos;
        while ((headEnd = received.find("\r\n\r\n")) == std::string::npos) {
            if (received.size() > kMaxHeadBytes) {
                throw HttpError(
                    400, "request head larger than " + std::to_string(kMaxHeadBytes) + " bytes");
            }
            const ReadEnd end = receiveMore();
            if (end == ReadEnd::TimedOut) {
                timedOut();
                return;
            }
            if (end != ReadEnd::Whole) {
                return;
            }
        }
        ClientRequest request = ParseRequestHead(std::string_view(received).substr(0, headEnd));
        version = request.version;
        const std::uint64_t length = BodyLength(request);
        if (length > limits_.maxBodyBytes) {
            throw HttpError(413, "request body of " + std::to_string(length) +
                                     " bytes is over the limit of " +
                                     std::to_string(limits_.maxBodyBytes) + " bytes");
        }
        received.erase(0, headEnd + 4);
        if (received.empty() && length > 0 && request.version == "HTTP/1.1") {
            const std::optional<std::string> expect = request.Header("Expect");
            if (expect && (*expect == "100-continue" || *expect == "100-Continue")) {
                static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
                net::SendAll(connection.socket, kContinue.data(), kContinue.size(),
                             RemainingMs(deadline));
            }
        }
        while (received.size() < length) {
            const ReadEnd end = receiveMore();
            if (end == ReadEnd::TimedOut) {
                timedOut();
                return;
            }
            if (end != ReadEnd::Whole) {
                return;
            }
        }
        received.resize(static_cast<std::size_t>(length));  // bytes past the body are not ours
        request.body = std::move(received);
        Reply reply;
        try {
            reply = handler_.Handle(request);
        } catch (const HttpError& error) {
            reply = ErrorReply(error.Status(), error.what());
        } catch (const std::exception& error) {
            reply = ErrorReply(500, std::string("internal error: ") + error.what());
        }
        Finish(connection, reply, version);
    } catch (const HttpError& error) {
        const Reply reply = ErrorReply(error.Status(), error.what());
        handler_.Refused(reply, Since(connection.accepted));
        Finish(connection, reply, version);
    }
}

void HttpServer::Finish(Pending& connection, const Reply& reply, std::string_view version) {
    const std::string bytes = SerializeReply(reply, version);
    const int sendLimitMs = static_cast<int>(
        std::min<std::chrono::milliseconds::rep>(limits_.requestTimeout.count(), 60000));
    const bool sent =
        net::SendAll(connection.socket, bytes.data(), bytes.size(), sendLimitMs).status ==
        net::IoStatus::Ok;
    // The answer is out: the connection no longer counts against the limit,
    // or a client that sends its next request at once could be refused
    // while this thread still waits for it to close the last one.
    if (sent) {
        std::lock_guard<std::mutex> lock(mutex_);
        ++draining_;
    }
    Release(connection);
    if (!sent) {
        return;
    }
    net::ShutdownSend(connection.socket);
    char sink[16384];
    const Clock::time_point drainEnd = Clock::now() + std::chrono::milliseconds(kDrainMs);
    for (int left = kDrainMs; left > 0; left = RemainingMs(drainEnd)) {
        const net::IoResult got = net::Receive(connection.socket, sink, sizeof sink, left);
        if (got.status != net::IoStatus::Ok) {
            break;
        }
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        --draining_;
    }
    idle_.notify_all();
}

}  // namespace bridge
