#include "bridge/upstream_common.h"

namespace bridge {

std::string UrlAuthority(std::string_view url) {
    const auto scheme = url.find("://");
    std::string_view rest = scheme == std::string_view::npos ? url : url.substr(scheme + 3);
    rest = rest.substr(0, rest.find_first_of("/?#"));
    const auto userinfo = rest.rfind('@');
    return std::string(userinfo == std::string_view::npos ? rest : rest.substr(userinfo + 1));
}

std::string DescribeUpstream(std::string_view kindName, std::string_view url) {
    return std::string(kindName) + " at " + UrlAuthority(url);
}

std::string JoinUrl(std::string_view base, std::string_view path) {
    while (!base.empty() && base.back() == '/') {
        base.remove_suffix(1);
    }
    return std::string(base) + std::string(path);
}

std::string FormEncode(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
            (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' || byte == '.' ||
            byte == '~') {
            out += c;
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

HttpResponse Exchange(HttpClient& client, const HttpRequest& request,
                      const std::string& description) {
    HttpResponse response = client.Send(request);
    switch (response.failure) {
        case ConnectionFailure::None:
            return response;
        case ConnectionFailure::Refused:
            throw UpstreamError(502, OneLineReason(description + " refused the connection"), true);
        case ConnectionFailure::Unreachable:
            throw UpstreamError(502, OneLineReason(description + " is unreachable"), true);
        case ConnectionFailure::TimedOut:
            throw UpstreamError(504,
                                OneLineReason(description + " did not answer within " +
                                              std::to_string(request.timeout.count()) + " ms"),
                                true);
        case ConnectionFailure::Reset:
            throw UpstreamError(502, OneLineReason(description + " broke the connection"), true);
        case ConnectionFailure::Other:
            break;
    }
    throw UpstreamError(502, OneLineReason(description + ": " + response.detail), true);
}

void ThrowAnswered(const std::string& description, int httpStatus, std::string_view message) {
    const bool overloaded = httpStatus == 429 || httpStatus == 503;
    // A 200 that carries an error (OPUS-MT's unsupported pair) names no status.
    std::string line = description;
    if (httpStatus != 200) {
        line += " answered " + std::to_string(httpStatus);
    }
    if (!message.empty()) {
        line += ": ";
        line += message;
    }
    throw UpstreamError(overloaded ? 503 : 502, OneLineReason(line), false);
}

void ThrowMalformed(const std::string& description, std::string_view what) {
    throw UpstreamError(502, OneLineReason(description + " sent " + std::string(what)), false);
}

}  // namespace bridge
