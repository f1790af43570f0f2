// What the four upstream kinds share: how an upstream is described, URL and
// form encoding, and the exchange that turns a connection failure or an error
// answer into an UpstreamError whose reason is one ASCII line.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "bridge/http_client.h"
#include "bridge/http_message.h"
#include "bridge/upstream.h"

namespace bridge {

// "host:port" as the URL names it ("127.0.0.1:5000", "mt.example.org").
std::string UrlAuthority(std::string_view url);

// "LibreTranslate at 127.0.0.1:5000".
std::string DescribeUpstream(std::string_view kindName, std::string_view url);

// The base URL with `path` appended, without a doubled slash.
std::string JoinUrl(std::string_view base, std::string_view path);

// application/x-www-form-urlencoded value encoding (UTF-8 bytes as %XX).
std::string FormEncode(std::string_view text);

// Sends the request; a connection-level failure throws UpstreamError (502,
// or 504 for a time-out, connection level) naming the upstream. Any HTTP
// answer is returned, whatever its status.
HttpResponse Exchange(HttpClient& client, const HttpRequest& request,
                      const std::string& description);

// An HTTP or protocol-level error the upstream reported: 503 when it says it
// is overloaded (429, 503), 502 otherwise; not connection level. A status
// of 200 means the answer's body reported the error.
[[noreturn]] void ThrowAnswered(const std::string& description, int httpStatus,
                                std::string_view message);

// An answer that is not what the upstream's API promises: 502.
[[noreturn]] void ThrowMalformed(const std::string& description, std::string_view what);

// What every upstream reached over HTTP holds: its settings, the client it
// calls through and its description ("<kind name> at host:port").
class HttpUpstream : public Upstream {
  public:
    const std::string& Describe() const final { return description_; }

  protected:
    HttpUpstream(const UpstreamSettings& settings, std::shared_ptr<HttpClient> client,
                 std::string_view kindName)
        : settings_(settings),
          client_(std::move(client)),
          description_(DescribeUpstream(kindName, settings.url)) {}

    UpstreamSettings settings_;
    std::shared_ptr<HttpClient> client_;
    std::string description_;
};

}  // namespace bridge
