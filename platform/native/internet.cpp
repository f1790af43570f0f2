// Native stand-in for the Internet client functions: a small synchronous
// HTTP/1.0 client over sockets. No proxy, no cache, no keep-alive: every send
// opens a connection of its own and the server's end of the stream (or the
// Content-Length it announced) ends the body.
//
// Time limits follow the modern defaults of the Windows client: 60 s to
// connect, 30 s for each send and each receive, adjustable per handle through
// the timeout options. A back end that stops talking therefore ends the
// request with ERROR_INTERNET_TIMEOUT instead of blocking the caller for ever.

#include "platform/internet.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/sockets.h"

namespace {

constexpr DWORD kDefaultConnectTimeoutMs = 60000;
constexpr DWORD kDefaultSendTimeoutMs = 30000;
constexpr DWORD kDefaultReceiveTimeoutMs = 30000;
// A status line and headers longer than this are not an HTTP answer.
constexpr std::size_t kMaxHeaderBytes = 64 * 1024;

struct Timeouts {
    DWORD connect = kDefaultConnectTimeoutMs;
    DWORD send = kDefaultSendTimeoutMs;
    DWORD receive = kDefaultReceiveTimeoutMs;
};

enum class Kind { Session, Connection, Request };

struct HandleObject {
    explicit HandleObject(Kind k) : kind(k) {}
    virtual ~HandleObject() = default;
    Kind kind;
    Timeouts timeouts;
    std::string proxyUserName;
    std::string proxyPassword;
};

struct Session : HandleObject {
    Session() : HandleObject(Kind::Session) {}
    std::string agent;
};

struct Connection : HandleObject {
    Connection() : HandleObject(Kind::Connection) {}
    std::string agent;
    std::string host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
};

struct Response {
    DWORD status = 0;
    std::string reason;
    std::optional<std::uint64_t> contentLength;
    std::string pending;  // body bytes that arrived together with the headers
    std::uint64_t delivered = 0;
    bool finished = false;
};

struct Request : HandleObject {
    Request() : HandleObject(Kind::Request) {}
    std::string agent;
    std::string host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    std::string verb;
    std::string object;
    std::string version;
    net::Socket socket;
    std::optional<Response> response;
};

// Live handles; anything else passed in is refused instead of dereferenced.
// Each call holds a reference to its object, so that a handle closed by
// another thread meanwhile is freed only when the call is over.
std::mutex g_handlesMutex;
std::unordered_map<HandleObject*, std::shared_ptr<HandleObject>> g_handles;

std::atomic<DWORD> g_errorDlgResult{ERROR_CANCELLED};
std::atomic<unsigned> g_errorDlgCalls{0};

HINTERNET Register(std::unique_ptr<HandleObject> object) {
    std::lock_guard<std::mutex> guard(g_handlesMutex);
    HandleObject* raw = object.get();
    g_handles.emplace(raw, std::move(object));
    return raw;
}

std::shared_ptr<HandleObject> Find(HINTERNET handle) {
    std::lock_guard<std::mutex> guard(g_handlesMutex);
    auto found = g_handles.find(static_cast<HandleObject*>(handle));
    return found == g_handles.end() ? nullptr : found->second;
}

template <typename T>
std::shared_ptr<T> FindAs(HINTERNET handle, Kind kind) {
    std::shared_ptr<HandleObject> object = Find(handle);
    if (object == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (object->kind != kind) {
        SetLastError(ERROR_INTERNET_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return std::static_pointer_cast<T>(object);
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

std::string OrEmpty(LPCSTR text) {
    return text ? std::string(text) : std::string();
}

char LowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return LowerAscii(x) == LowerAscii(y);
           });
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
        text.remove_suffix(1);
    }
    return text;
}

// Decimal digits only, without overflow; anything else is no number.
std::optional<std::uint64_t> ParseDecimal(std::string_view text) {
    if (text.empty() || text.size() > 19) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

// Extra request headers as given by the caller, each line ended by CR LF.
std::string NormalizeHeaders(LPCSTR headers, DWORD length) {
    if (headers == nullptr || length == 0) {
        return {};
    }
    std::string_view text = length == static_cast<DWORD>(-1) ? std::string_view(headers)
                                                             : std::string_view(headers, length);
    std::string result;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        std::string_view line = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            result.append(line);
            result.append("\r\n");
        }
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    return result;
}

DWORD ErrorFromIo(net::IoStatus status) {
    switch (status) {
        case net::IoStatus::TimedOut:
            return ERROR_INTERNET_TIMEOUT;
        case net::IoStatus::Refused:
            return ERROR_INTERNET_CANNOT_CONNECT;
        case net::IoStatus::Reset:
            return ERROR_INTERNET_CONNECTION_RESET;
        default:
            return ERROR_INTERNET_CONNECTION_ABORTED;
    }
}

int ToTimeoutMs(DWORD ms) {
    // A zero or absurdly large limit means "no limit" to poll(); keep a limit.
    constexpr DWORD kMax = 0x7FFFFFFF;
    return static_cast<int>(ms == 0 || ms > kMax ? kMax : ms);
}

// Reads the status line and headers. Returns 0 or the Internet error code.
DWORD ReadResponseHead(Request& request, Response& response) {
    std::string head;
    std::size_t headerEnd = std::string::npos;
    std::size_t separatorLength = 0;
    char buffer[4096];
    while (headerEnd == std::string::npos) {
        net::IoResult got = net::Receive(request.socket, buffer, sizeof buffer,
                                         ToTimeoutMs(request.timeouts.receive));
        if (got.status == net::IoStatus::Closed) {
            return ERROR_HTTP_INVALID_SERVER_RESPONSE;
        }
        if (got.status != net::IoStatus::Ok) {
            return ErrorFromIo(got.status);
        }
        const std::size_t searchFrom = head.size() < 3 ? 0 : head.size() - 3;
        head.append(buffer, got.bytes);
        std::size_t crlf = head.find("\r\n\r\n", searchFrom);
        std::size_t lf = head.find("\n\n", searchFrom);
        if (crlf != std::string::npos && (lf == std::string::npos || crlf < lf)) {
            headerEnd = crlf;
            separatorLength = 4;
        } else if (lf != std::string::npos) {
            headerEnd = lf;
            separatorLength = 2;
        } else if (head.size() > kMaxHeaderBytes) {
            return ERROR_HTTP_INVALID_SERVER_RESPONSE;
        }
    }

    std::string_view block(head.data(), headerEnd);
    std::size_t lineEnd = block.find('\n');
    std::string_view statusLine = Trim(block.substr(0, lineEnd));
    // "HTTP/x.y NNN reason"
    if (statusLine.substr(0, 5) != "HTTP/") {
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    }
    std::size_t space = statusLine.find(' ');
    if (space == std::string_view::npos || statusLine.size() < space + 4) {
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    }
    std::string_view code = statusLine.substr(space + 1, 3);
    std::optional<std::uint64_t> status = ParseDecimal(code);
    if (!status || (statusLine.size() > space + 4 && statusLine[space + 4] != ' ')) {
        return ERROR_HTTP_INVALID_SERVER_RESPONSE;
    }
    response.status = static_cast<DWORD>(*status);
    if (statusLine.size() > space + 5) {
        response.reason = Trim(statusLine.substr(space + 5));
    }

    std::size_t position = lineEnd == std::string_view::npos ? block.size() : lineEnd + 1;
    while (position < block.size()) {
        std::size_t end = block.find('\n', position);
        std::string_view line = block.substr(
            position, end == std::string_view::npos ? std::string_view::npos : end - position);
        position = end == std::string_view::npos ? block.size() : end + 1;
        std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        if (EqualsNoCase(Trim(line.substr(0, colon)), "Content-Length") &&
            !response.contentLength) {
            response.contentLength = ParseDecimal(Trim(line.substr(colon + 1)));
        }
    }

    response.pending = head.substr(headerEnd + separatorLength);
    if (response.contentLength && response.pending.size() > *response.contentLength) {
        response.pending.resize(static_cast<std::size_t>(*response.contentLength));
    }
    return 0;
}

}  // namespace

HINTERNET InternetOpenA(LPCSTR agent, DWORD /*accessType*/, LPCSTR /*proxy*/,
                        LPCSTR /*proxyBypass*/, DWORD /*flags*/) {
    if (!net::StartSockets()) {
        SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
        return nullptr;
    }
    auto session = std::make_unique<Session>();
    session->agent = OrEmpty(agent);
    return Register(std::move(session));
}

INTERNET_STATUS_CALLBACK InternetSetStatusCallbackA(HINTERNET handle,
                                                    INTERNET_STATUS_CALLBACK /*callback*/) {
    // Notifications are never sent: every call here completes synchronously.
    if (Find(handle) == nullptr) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INTERNET_INVALID_STATUS_CALLBACK;
    }
    return nullptr;
}

BOOL InternetSetOptionA(HINTERNET handle, DWORD option, LPVOID buffer, DWORD bufferLength) {
    if (handle == nullptr) {
        // Process-wide options: there is no offline mode to leave.
        if (option == INTERNET_OPTION_CONNECTED_STATE) {
            return buffer != nullptr && bufferLength >= sizeof(INTERNET_CONNECTED_INFO)
                       ? TRUE
                       : Fail(ERROR_INVALID_PARAMETER);
        }
        return Fail(ERROR_INTERNET_INVALID_OPTION);
    }
    const std::shared_ptr<HandleObject> object = Find(handle);
    if (object == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (buffer == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    switch (option) {
        case INTERNET_OPTION_CONNECT_TIMEOUT:
        case INTERNET_OPTION_SEND_TIMEOUT:
        case INTERNET_OPTION_RECEIVE_TIMEOUT: {
            if (bufferLength < sizeof(DWORD)) {
                return Fail(ERROR_INTERNET_INVALID_OPTION);
            }
            DWORD value;
            std::memcpy(&value, buffer, sizeof value);
            DWORD& target = option == INTERNET_OPTION_CONNECT_TIMEOUT ? object->timeouts.connect
                            : option == INTERNET_OPTION_SEND_TIMEOUT  ? object->timeouts.send
                                                                      : object->timeouts.receive;
            target = value;
            return TRUE;
        }
        case INTERNET_OPTION_PROXY:
            // Direct connections only; the settings are accepted and have no effect.
            return bufferLength >= sizeof(INTERNET_PROXY_INFO) ? TRUE
                                                               : Fail(ERROR_INVALID_PARAMETER);
        case INTERNET_OPTION_PROXY_USERNAME:
        case INTERNET_OPTION_PROXY_PASSWORD: {
            const char* text = static_cast<const char*>(buffer);
            std::string value(text, strnlen(text, bufferLength));
            (option == INTERNET_OPTION_PROXY_USERNAME ? object->proxyUserName
                                                      : object->proxyPassword) = value;
            return TRUE;
        }
        default:
            return Fail(ERROR_INTERNET_INVALID_OPTION);
    }
}

BOOL InternetQueryOptionA(HINTERNET handle, DWORD option, LPVOID buffer, LPDWORD bufferLength) {
    const std::shared_ptr<HandleObject> object = Find(handle);
    if (object == nullptr) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    if (bufferLength == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    switch (option) {
        case INTERNET_OPTION_CONNECT_TIMEOUT:
        case INTERNET_OPTION_SEND_TIMEOUT:
        case INTERNET_OPTION_RECEIVE_TIMEOUT: {
            if (buffer == nullptr || *bufferLength < sizeof(DWORD)) {
                *bufferLength = sizeof(DWORD);
                return Fail(ERROR_INSUFFICIENT_BUFFER);
            }
            DWORD value = option == INTERNET_OPTION_CONNECT_TIMEOUT ? object->timeouts.connect
                          : option == INTERNET_OPTION_SEND_TIMEOUT  ? object->timeouts.send
                                                                    : object->timeouts.receive;
            std::memcpy(buffer, &value, sizeof value);
            *bufferLength = sizeof(DWORD);
            return TRUE;
        }
        case INTERNET_OPTION_PROXY_USERNAME:
        case INTERNET_OPTION_PROXY_PASSWORD: {
            const std::string& value = option == INTERNET_OPTION_PROXY_USERNAME
                                           ? object->proxyUserName
                                           : object->proxyPassword;
            const DWORD needed = static_cast<DWORD>(value.size() + 1);
            if (buffer == nullptr || *bufferLength < needed) {
                *bufferLength = needed;
                return Fail(ERROR_INSUFFICIENT_BUFFER);
            }
            std::memcpy(buffer, value.c_str(), needed);
            *bufferLength = needed - 1;
            return TRUE;
        }
        default:
            return Fail(ERROR_INTERNET_INVALID_OPTION);
    }
}

HINTERNET InternetConnectA(HINTERNET internet, LPCSTR serverName, INTERNET_PORT serverPort,
                           LPCSTR userName, LPCSTR password, DWORD service, DWORD /*flags*/,
                           DWORD_PTR /*context*/) {
    const std::shared_ptr<Session> session = FindAs<Session>(internet, Kind::Session);
    if (session == nullptr) {
        return nullptr;
    }
    if (serverName == nullptr || *serverName == '\0' || service != INTERNET_SERVICE_HTTP) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto connection = std::make_unique<Connection>();
    connection->agent = session->agent;
    connection->timeouts = session->timeouts;
    connection->host = serverName;
    connection->port = serverPort == 0 ? INTERNET_DEFAULT_HTTP_PORT : serverPort;
    // Credentials would be used for server authentication, which the
    // back end never asks for; they are accepted and kept nowhere.
    (void)userName;
    (void)password;
    return Register(std::move(connection));
}

HINTERNET HttpOpenRequestA(HINTERNET connectionHandle, LPCSTR verb, LPCSTR objectName,
                           LPCSTR version, LPCSTR /*referrer*/, LPCSTR* /*acceptTypes*/,
                           DWORD /*flags*/, DWORD_PTR /*context*/) {
    const std::shared_ptr<Connection> connection =
        FindAs<Connection>(connectionHandle, Kind::Connection);
    if (connection == nullptr) {
        return nullptr;
    }
    auto request = std::make_unique<Request>();
    request->agent = connection->agent;
    request->timeouts = connection->timeouts;
    request->host = connection->host;
    request->port = connection->port;
    request->verb = verb && *verb ? verb : "GET";
    std::string object = OrEmpty(objectName);
    request->object = object.empty() || object.front() != '/' ? "/" + object : object;
    request->version = version && *version ? version : "HTTP/1.1";
    return Register(std::move(request));
}

BOOL HttpSendRequestA(HINTERNET requestHandle, LPCSTR headers, DWORD headersLength, LPVOID optional,
                      DWORD optionalLength) {
    const std::shared_ptr<Request> request = FindAs<Request>(requestHandle, Kind::Request);
    if (request == nullptr) {
        return FALSE;
    }
    if (optional == nullptr && optionalLength != 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    // A request handle may be sent again (the proxy-authentication retry):
    // forget the previous exchange entirely.
    request->socket.reset();
    request->response.reset();

    std::uint32_t address = 0;
    if (!net::ResolveIpv4(request->host, address)) {
        return Fail(ERROR_INTERNET_NAME_NOT_RESOLVED);
    }
    request->socket = net::CreateTcpSocket();
    if (!request->socket) {
        return Fail(ERROR_INTERNET_CANNOT_CONNECT);
    }
    net::IoStatus connected = net::Connect(request->socket, address, request->port,
                                           ToTimeoutMs(request->timeouts.connect));
    if (connected != net::IoStatus::Ok) {
        request->socket.reset();
        return Fail(connected == net::IoStatus::TimedOut ? ERROR_INTERNET_TIMEOUT
                                                         : ERROR_INTERNET_CANNOT_CONNECT);
    }

    std::string message = request->verb + " " + request->object + " " + request->version + "\r\n";
    message += "Host: " + request->host;
    if (request->port != INTERNET_DEFAULT_HTTP_PORT) {
        message += ":" + std::to_string(request->port);
    }
    message += "\r\n";
    if (!request->agent.empty()) {
        message += "User-Agent: " + request->agent + "\r\n";
    }
    message += NormalizeHeaders(headers, headersLength);
    if (optionalLength != 0 || request->verb == "POST") {
        message += "Content-Length: " + std::to_string(optionalLength) + "\r\n";
    }
    message += "\r\n";
    // A small body goes out with the head in one write; a large one is sent
    // from the caller's buffer rather than copied.
    const std::string_view body(static_cast<const char*>(optional), optional ? optionalLength : 0);
    constexpr std::size_t kCopyBodyUpTo = 64 * 1024;
    if (body.size() <= kCopyBodyUpTo) {
        message.append(body);
    }
    net::IoResult sent = net::SendAll(request->socket, message.data(), message.size(),
                                      ToTimeoutMs(request->timeouts.send));
    if (sent.status == net::IoStatus::Ok && body.size() > kCopyBodyUpTo) {
        sent = net::SendAll(request->socket, body.data(), body.size(),
                            ToTimeoutMs(request->timeouts.send));
    }
    if (sent.status != net::IoStatus::Ok) {
        request->socket.reset();
        return Fail(ErrorFromIo(sent.status));
    }

    Response response;
    if (DWORD error = ReadResponseHead(*request, response); error != 0) {
        request->socket.reset();
        return Fail(error);
    }
    request->response = std::move(response);
    // A proxy-authentication demand fails the send, so that the caller's
    // credential handling runs; the status stays readable for it.
    if (request->response->status == HTTP_STATUS_PROXY_AUTH_REQ) {
        return Fail(ERROR_INTERNET_INCORRECT_PASSWORD);
    }
    return TRUE;
}

BOOL HttpQueryInfoA(HINTERNET requestHandle, DWORD infoLevel, LPVOID buffer, LPDWORD bufferLength,
                    LPDWORD index) {
    const std::shared_ptr<Request> request = FindAs<Request>(requestHandle, Kind::Request);
    if (request == nullptr) {
        return FALSE;
    }
    if (bufferLength == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    if (!request->response) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    }
    if (index != nullptr && *index != 0) {
        return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
    }
    std::uint64_t value = 0;
    std::optional<std::string> text;  // set for the one header that is not a number
    switch (infoLevel & 0xFFFF) {
        case HTTP_QUERY_STATUS_CODE:
            value = request->response->status;
            break;
        case HTTP_QUERY_STATUS_TEXT:
            if (infoLevel & HTTP_QUERY_FLAG_NUMBER) {
                return Fail(ERROR_HTTP_INVALID_QUERY_REQUEST);
            }
            text = request->response->reason;
            break;
        case HTTP_QUERY_CONTENT_LENGTH:
            if (!request->response->contentLength) {
                return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
            }
            value = *request->response->contentLength;
            break;
        default:
            return Fail(ERROR_HTTP_HEADER_NOT_FOUND);
    }
    if (!text && (infoLevel & HTTP_QUERY_FLAG_NUMBER)) {
        if (buffer == nullptr || *bufferLength < sizeof(DWORD)) {
            *bufferLength = sizeof(DWORD);
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        DWORD number = static_cast<DWORD>(std::min<std::uint64_t>(value, 0xFFFFFFFFu));
        std::memcpy(buffer, &number, sizeof number);
        *bufferLength = sizeof(DWORD);
    } else {
        if (!text) {
            text = std::to_string(value);
        }
        const DWORD needed = static_cast<DWORD>(text->size() + 1);
        if (buffer == nullptr || *bufferLength < needed) {
            *bufferLength = needed;
            return Fail(ERROR_INSUFFICIENT_BUFFER);
        }
        std::memcpy(buffer, text->c_str(), needed);
        *bufferLength = needed - 1;
    }
    if (index != nullptr) {
        *index = 1;
    }
    return TRUE;
}

BOOL InternetReadFile(HINTERNET file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead) {
    const std::shared_ptr<Request> request = FindAs<Request>(file, Kind::Request);
    if (request == nullptr) {
        return FALSE;
    }
    if (bytesRead == nullptr || (buffer == nullptr && bytesToRead != 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    *bytesRead = 0;
    if (!request->response) {
        return Fail(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    }
    Response& response = *request->response;
    if (response.finished || bytesToRead == 0) {
        return TRUE;
    }
    std::uint64_t wanted = bytesToRead;
    if (response.contentLength) {
        wanted = std::min(wanted, *response.contentLength - response.delivered);
        if (wanted == 0) {
            response.finished = true;
            request->socket.reset();
            return TRUE;
        }
    }
    std::size_t count = 0;
    if (!response.pending.empty()) {
        count = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, response.pending.size()));
        std::memcpy(buffer, response.pending.data(), count);
        response.pending.erase(0, count);
    } else {
        net::IoResult got =
            net::Receive(request->socket, static_cast<char*>(buffer),
                         static_cast<std::size_t>(wanted), ToTimeoutMs(request->timeouts.receive));
        if (got.status == net::IoStatus::Closed) {
            response.finished = true;
            request->socket.reset();
            return TRUE;
        }
        if (got.status != net::IoStatus::Ok) {
            request->socket.reset();
            response.finished = true;
            return Fail(ErrorFromIo(got.status));
        }
        count = got.bytes;
    }
    response.delivered += count;
    *bytesRead = static_cast<DWORD>(count);
    return TRUE;
}

BOOL InternetCloseHandle(HINTERNET handle) {
    std::shared_ptr<HandleObject> object;
    {
        std::lock_guard<std::mutex> guard(g_handlesMutex);
        auto found = g_handles.find(static_cast<HandleObject*>(handle));
        if (found == g_handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(found->second);
        g_handles.erase(found);
    }
    // Freed here, or by the last call still using it.
    return TRUE;
}

DWORD InternetErrorDlg(HWND /*parent*/, HINTERNET /*request*/, DWORD /*error*/, DWORD /*flags*/,
                       LPVOID* /*data*/) {
    g_errorDlgCalls.fetch_add(1);
    return g_errorDlgResult.load();
}

HWND GetDesktopWindow() {
    static int desktop;
    return &desktop;
}

void SetInternetErrorDlgResultForTesting(DWORD result) {
    g_errorDlgResult.store(result);
}

unsigned InternetErrorDlgCallCountForTesting() {
    return g_errorDlgCalls.load();
}

std::size_t OpenInternetHandleCountForTesting() {
    std::lock_guard<std::mutex> guard(g_handlesMutex);
    return g_handles.size();
}
