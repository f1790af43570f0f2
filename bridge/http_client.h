// HttpClient: one HTTP exchange with an upstream server (GET or POST, headers,
// a time limit), answered with its status and body or with how the connection
// failed. libcurl natively, WinHTTP on Windows.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace bridge {

// How an exchange ended before any HTTP answer arrived.
enum class ConnectionFailure {
    None,         // an HTTP answer arrived (any status)
    Refused,      // nobody listens at the address
    Unreachable,  // the host name does not resolve or the network has no route to it
    TimedOut,     // no complete answer within the time limit
    Reset,        // the connection broke during the exchange
    Other,        // anything else (TLS, a bad URL, an answer over the size limit)
};

struct HttpRequest {
    std::string method = "POST";  // "GET" or "POST"
    std::string url;              // http:// or https://
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;                          // sent with POST
    std::chrono::milliseconds timeout{20000};  // the whole exchange
    std::size_t maxResponseBytes = 64u << 20;  // a longer answer is a failure (Other)
};

struct HttpResponse {
    ConnectionFailure failure = ConnectionFailure::None;
    std::string detail;  // the client library's words for a failure, for the log
    int status = 0;
    std::string body;
};

// Safe to use from several threads at once; keeps connections for reuse.
class HttpClient {
  public:
    virtual ~HttpClient() = default;
    virtual HttpResponse Send(const HttpRequest& request) = 0;
};

// The platform's client.
std::unique_ptr<HttpClient> MakeHttpClient();

}  // namespace bridge
