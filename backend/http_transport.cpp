#include "backend/http_transport.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

#include "text/exceptions.h"

namespace {

constexpr int kMaxSendAttempts = 3;
constexpr DWORD kCredentialBufferBytes = 1000;
constexpr std::size_t kInitialAnswerReserve = 5000;
constexpr DWORD kReadChunkBytes = 10000;

std::atomic<INTERNET_PORT> g_testPort{0};
std::atomic<DWORD> g_connectTimeoutMs{TransportTimeouts{}.connectMs};
std::atomic<DWORD> g_sendTimeoutMs{TransportTimeouts{}.sendMs};
std::atomic<DWORD> g_receiveTimeoutMs{TransportTimeouts{}.receiveMs};

// Explicit limits on a handle; handles opened from it later inherit them.
// Both the Internet and the connection handle get them: some client
// libraries take the send and receive limits only from the connection, and
// default to waiting for ever.
void SetTimeouts(HINTERNET handle) {
    const TransportTimeouts limits = BackendTimeouts();
    const std::pair<DWORD, DWORD> options[] = {
        {INTERNET_OPTION_CONNECT_TIMEOUT, limits.connectMs},
        {INTERNET_OPTION_SEND_TIMEOUT, limits.sendMs},
        {INTERNET_OPTION_RECEIVE_TIMEOUT, limits.receiveMs},
    };
    for (auto [option, ms] : options) {
        InternetSetOptionA(handle, option, &ms, sizeof ms);
    }
}

}  // namespace

void SetBackendPortForTesting(INTERNET_PORT port) {
    g_testPort.store(port);
}

INTERNET_PORT BackendPort() {
    INTERNET_PORT port = g_testPort.load();
    return port == 0 ? kBackendPort : port;
}

void SetBackendTimeoutsForTesting(TransportTimeouts timeouts) {
    g_connectTimeoutMs.store(timeouts.connectMs);
    g_sendTimeoutMs.store(timeouts.sendMs);
    g_receiveTimeoutMs.store(timeouts.receiveMs);
}

TransportTimeouts BackendTimeouts() {
    return {g_connectTimeoutMs.load(), g_sendTimeoutMs.load(), g_receiveTimeoutMs.load()};
}

std::string BackendAddress() {
    return std::string(kBackendHost) + ":" + std::to_string(BackendPort());
}

bool OpenSession(InternetHandle& internet) {
    if (internet) {
        return true;
    }
    internet.reset(
        InternetOpenA(kBackendUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (internet) {
        // No status notifications; a direct connection whatever the system's
        // proxy settings; and the process's client taken out of offline mode.
        // None of these can stop the exchange, so their results are ignored.
        InternetSetStatusCallbackA(internet.get(), nullptr);
        INTERNET_PROXY_INFO direct{INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr};
        InternetSetOptionA(internet.get(), INTERNET_OPTION_PROXY, &direct, sizeof direct);
        INTERNET_CONNECTED_INFO connected{INTERNET_STATE_CONNECTED, 0};
        InternetSetOptionA(nullptr, INTERNET_OPTION_CONNECTED_STATE, &connected, sizeof connected);
        SetTimeouts(internet.get());
    }
    return static_cast<bool>(internet);
}

bool OpenRequest(HINTERNET internet, InternetHandle& connection, InternetHandle& request,
                 const std::string& path) {
    connection.reset(InternetConnectA(internet, kBackendHost, BackendPort(), "", "",
                                      INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) {
        return false;
    }
    SetTimeouts(connection.get());
    request.reset(HttpOpenRequestA(connection.get(), "POST", path.c_str(), "HTTP/1.0", nullptr,
                                   nullptr, INTERNET_FLAG_NO_CACHE_WRITE, 0));
    return static_cast<bool>(request);
}

namespace {

bool AskedForProxyCredentials(HINTERNET request) {
    DWORD status = 0;
    DWORD statusLength = sizeof status;
    return HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &statusLength, nullptr) != FALSE &&
           status == HTTP_STATUS_PROXY_AUTH_REQ;
}

}  // namespace

bool SendRequest(HINTERNET request, std::string_view body) {
    // The client library takes a non-const pointer but only reads the body.
    LPVOID bytes = const_cast<char*>(body.data());
    for (int attempt = 1;; ++attempt) {
        const bool sent = HttpSendRequestA(request, kBackendContentType, static_cast<DWORD>(-1),
                                           bytes, static_cast<DWORD>(body.size())) != FALSE;
        const DWORD failure = sent ? ERROR_INTERNET_INCORRECT_PASSWORD : GetLastError();
        // The system client completes the send when the answer is a demand
        // for proxy credentials; that answer is no translation either, so it
        // takes the same retry as a send that failed on it.
        const bool proxyDemand = AskedForProxyCredentials(request);
        if (sent && !proxyDemand) {
            return true;
        }
        // The caller learns why from GetLastError, as after the send itself.
        const DWORD sendError = failure;
        auto giveUp = [sendError] {
            SetLastError(sendError);
            return false;
        };
        if (attempt >= kMaxSendAttempts || !proxyDemand) {
            return giveUp();
        }
        // Zero-filled, so that whatever length a failed read leaves behind
        // never lets the write-back below read past the credentials.
        char userName[kCredentialBufferBytes] = {};
        char password[kCredentialBufferBytes] = {};
        DWORD userNameLength = kCredentialBufferBytes;
        DWORD passwordLength = kCredentialBufferBytes;
        const bool haveUserName = InternetQueryOptionA(request, INTERNET_OPTION_PROXY_USERNAME,
                                                       userName, &userNameLength) != FALSE;
        const bool havePassword = InternetQueryOptionA(request, INTERNET_OPTION_PROXY_PASSWORD,
                                                       password, &passwordLength) != FALSE;
        // Known credentials are tried once without asking; after that the
        // user decides whether to try again.
        if (!haveUserName || !havePassword || attempt > 1) {
            const DWORD choice = InternetErrorDlg(
                GetDesktopWindow(), request, ERROR_INTERNET_INCORRECT_PASSWORD,
                FLAGS_ERROR_UI_FILTER_FOR_ERRORS | FLAGS_ERROR_UI_FLAGS_CHANGE_OPTIONS |
                    FLAGS_ERROR_UI_FLAGS_GENERATE_DATA,
                nullptr);
            if (choice != ERROR_INTERNET_FORCE_RETRY) {
                return giveUp();
            }
        }
        InternetSetOptionA(request, INTERNET_OPTION_PROXY_USERNAME, userName,
                           std::min(userNameLength, kCredentialBufferBytes));
        InternetSetOptionA(request, INTERNET_OPTION_PROXY_PASSWORD, password,
                           std::min(passwordLength, kCredentialBufferBytes));
    }
}

std::optional<std::string> ErrorStatus(HINTERNET request) {
    DWORD status = 0;
    DWORD statusLength = sizeof status;
    if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                       &statusLength, nullptr) == FALSE ||
        status < 400 || status > 599) {
        return std::nullopt;
    }
    std::string line = std::to_string(status);
    // A reason longer than the buffer is left out rather than fetched whole.
    char reason[kMaxStatusTextBytes + 1] = {};
    DWORD reasonLength = sizeof reason;
    if (HttpQueryInfoA(request, HTTP_QUERY_STATUS_TEXT, reason, &reasonLength, nullptr) != FALSE &&
        reason[0] != '\0') {
        line += ' ';
        line.append(reason,
                    strnlen(reason, std::min<std::size_t>(reasonLength, kMaxStatusTextBytes)));
    }
    return line;
}

BackendAnswer ReadResponse(HINTERNET request) {
    BackendAnswer answer;
    // Sized for the announced length up front, so that a large answer is not
    // copied while it grows; the reads below still trust only what arrives.
    DWORD announced = 0;
    DWORD announcedSize = sizeof announced;
    const bool lengthKnown =
        HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &announced,
                       &announcedSize, nullptr) != FALSE;
    answer.body.reserve(lengthKnown ? std::min<std::size_t>(announced, kMaxAnswerBytes)
                                    : kInitialAnswerReserve);
    char chunk[kReadChunkBytes];
    DWORD count = 0;
    do {
        count = 0;
        if (!InternetReadFile(request, chunk, kReadChunkBytes, &count)) {
            answer.end = BackendAnswer::End::ReadError;
            answer.error = GetLastError();
            return answer;
        }
        if (count > kReadChunkBytes) {
            count = kReadChunkBytes;  // never trust a count beyond the buffer
        }
        if (answer.body.size() + count > kMaxAnswerBytes) {
            answer.end = BackendAnswer::End::TooLarge;
            return answer;
        }
        const std::size_t needed = answer.body.size() + count;
        if (answer.body.capacity() < needed) {
            answer.body.reserve(std::max(answer.body.capacity() * 2, needed));
        }
        answer.body.append(chunk, count);
    } while (count > 0);

    // A connection that ends early looks like the end of the body to the
    // reads; the announced length tells the two apart.
    if (lengthKnown && answer.body.size() < announced) {
        answer.end = BackendAnswer::End::CutShort;
        answer.announced = announced;
    }
    return answer;
}

std::optional<std::string> PostToBackend(const std::string& path, std::string_view body) {
    // Declared in this order so that they close as request, connection, Internet.
    InternetHandle internet;
    InternetHandle connection;
    InternetHandle request;
    if (!OpenSession(internet) || !OpenRequest(internet.get(), connection, request, path)) {
        return std::nullopt;
    }
    if (!SendRequest(request.get(), body)) {
        throw StringException("The translation back end at " + BackendAddress() +
                              " did not answer (error " + std::to_string(GetLastError()) + ").");
    }
    // An error page is the back end's complaint, never a translation; its body
    // is not read.
    if (std::optional<std::string> status = ErrorStatus(request.get())) {
        throw StringException("The translation back end at " + BackendAddress() + " answered " +
                              *status + ".");
    }
    BackendAnswer answer = ReadResponse(request.get());
    switch (answer.end) {
        case BackendAnswer::End::Complete:
            return std::move(answer.body);
        case BackendAnswer::End::ReadError:
            throw StringException("The answer of the translation back end at " + BackendAddress() +
                                  " was cut short (error " + std::to_string(answer.error) + ").");
        case BackendAnswer::End::CutShort:
            throw StringException("The answer of the translation back end at " + BackendAddress() +
                                  " was cut short (" + std::to_string(answer.body.size()) + " of " +
                                  std::to_string(answer.announced) + " bytes).");
        case BackendAnswer::End::TooLarge:
            break;
    }
    throw StringException("The answer of the translation back end at " + BackendAddress() +
                          " is larger than " + std::to_string(kMaxAnswerBytes) + " bytes.");
}
