#include "bridge/http_message.h"

#include <algorithm>

namespace bridge {
namespace {

char FoldAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

bool EqualFolded(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return FoldAscii(x) == FoldAscii(y);
           });
}

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

const char* UsualPhrase(int status) {
    switch (status) {
        case 200:
            return "OK";
        case 400:
            return "Bad Request";
        case 404:
            return "Not Found";
        case 405:
            return "Method Not Allowed";
        case 408:
            return "Request Timeout";
        case 411:
            return "Length Required";
        case 413:
            return "Payload Too Large";
        case 500:
            return "Internal Server Error";
        case 502:
            return "Bad Gateway";
        case 503:
            return "Service Unavailable";
        case 504:
            return "Gateway Timeout";
        default:
            return status < 400 ? "OK" : "Error";
    }
}

}  // namespace

std::optional<std::string> ClientRequest::Header(std::string_view name) const {
    for (const auto& [key, value] : headers) {
        if (EqualFolded(key, name)) {
            return value;
        }
    }
    return std::nullopt;
}

std::string OneLineReason(std::string_view text) {
    std::string line;
    for (char c : text) {
        if (line.size() == kMaxReasonChars) {
            break;
        }
        if (c == '\r' || c == '\n' || c == '\t') {
            line += ' ';
        } else if (c >= 0x20 && c <= 0x7E) {
            line += c;
        } else if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) {
            line += '?';  // one mark per code point, none per continuation byte
        }
    }
    return std::string(Trim(line));
}

Reply ErrorReply(int status, std::string_view reason) {
    Reply reply;
    reply.status = status;
    reply.reason = OneLineReason(reason);
    reply.body = reply.reason + "\n";
    return reply;
}

ClientRequest ParseRequestHead(std::string_view head) {
    ClientRequest request;
    std::size_t lineEnd = head.find("\r\n");
    const std::string_view requestLine = head.substr(0, lineEnd);
    const std::size_t firstSpace = requestLine.find(' ');
    const std::size_t lastSpace = requestLine.rfind(' ');
    if (firstSpace == std::string_view::npos || lastSpace == firstSpace) {
        throw HttpError(400, "malformed request line");
    }
    request.method = std::string(requestLine.substr(0, firstSpace));
    request.target = std::string(requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1));
    request.version = std::string(requestLine.substr(lastSpace + 1));
    if (request.version != "HTTP/1.0" && request.version != "HTTP/1.1") {
        throw HttpError(400, "only HTTP/1.0 and HTTP/1.1 are served");
    }
    if (request.method.empty() || request.target.empty() ||
        request.target.find(' ') != std::string::npos) {
        throw HttpError(400, "malformed request line");
    }
    while (lineEnd != std::string_view::npos) {
        const std::size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string_view line = head.substr(start, lineEnd - start);
        if (line.empty()) {
            continue;
        }
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) {
            throw HttpError(400, "malformed header line");
        }
        request.headers.emplace_back(std::string(Trim(line.substr(0, colon))),
                                     std::string(Trim(line.substr(colon + 1))));
    }
    return request;
}

std::uint64_t BodyLength(const ClientRequest& request) {
    if (request.Header("Transfer-Encoding")) {
        throw HttpError(411, "chunked request bodies are not accepted; send Content-Length");
    }
    const std::optional<std::string> value = request.Header("Content-Length");
    if (!value) {
        if (request.method == "POST") {
            throw HttpError(411, "a POST needs a Content-Length header");
        }
        return 0;
    }
    if (value->empty() || value->size() > 18 ||
        value->find_first_not_of("0123456789") != std::string::npos) {
        throw HttpError(400, "malformed Content-Length header");
    }
    return std::stoull(*value);
}

std::string SerializeReply(const Reply& reply, std::string_view version) {
    std::string text(version.empty() ? "HTTP/1.0" : version);
    text += ' ' + std::to_string(reply.status) + ' ';
    const std::string reason = OneLineReason(reply.reason);
    text += reason.empty() ? UsualPhrase(reply.status) : reason;
    text += "\r\nContent-Type: " + reply.contentType;
    text += "\r\nContent-Length: " + std::to_string(reply.body.size());
    text += "\r\nConnection: close\r\n\r\n";
    text += reply.body;
    return text;
}

}  // namespace bridge
