// HttpClient over WinHTTP, the system's client (TLS included). The session
// keeps connections to an upstream for reuse by later requests.
#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <string>

#include "bridge/http_client.h"
#include "platform/unique_resource.h"
#include "platform/wide.h"
#include "text/code_pages.h"

namespace bridge {
namespace {

void CloseWinHttp(HINTERNET handle) {
    WinHttpCloseHandle(handle);
}
using WinHttpHandle = UniqueResource<HINTERNET, CloseWinHttp>;

// Some WinHTTPs (Wine's) pass the socket's own error on instead of theirs.
ConnectionFailure Classify(DWORD error) {
    switch (error) {
        case ERROR_WINHTTP_CANNOT_CONNECT:
        case WSAECONNREFUSED:
            return ConnectionFailure::Refused;
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        case WSAENETUNREACH:
        case WSAEHOSTUNREACH:
            return ConnectionFailure::Unreachable;
        case ERROR_WINHTTP_TIMEOUT:
        case WSAETIMEDOUT:
            return ConnectionFailure::TimedOut;
        case ERROR_WINHTTP_CONNECTION_ERROR:
        case WSAECONNRESET:
        case WSAECONNABORTED:
            return ConnectionFailure::Reset;
        default:
            return ConnectionFailure::Other;
    }
}

HttpResponse Failed(ConnectionFailure failure, std::string detail) {
    HttpResponse response;
    response.failure = failure;
    response.detail = std::move(detail);
    return response;
}

HttpResponse FailedCall(const char* call) {
    const DWORD error = GetLastError();
    return Failed(Classify(error),
                  std::string(call) + " failed with WinHTTP error " + std::to_string(error));
}

class WinHttpClient final : public HttpClient {
  public:
    WinHttpClient()
        : session_(WinHttpOpen(L"qn-bridge", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0)) {}

    HttpResponse Send(const HttpRequest& request) override {
        using Clock = std::chrono::steady_clock;
        const auto deadline = Clock::now() + request.timeout;
        if (!session_) {
            return Failed(ConnectionFailure::Other, "WinHttpOpen failed");
        }
        const std::u16string url = NarrowToWide(request.url, kCodePageUtf8);
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof(parts);
        parts.dwHostNameLength = static_cast<DWORD>(-1);
        parts.dwUrlPathLength = static_cast<DWORD>(-1);
        parts.dwExtraInfoLength = static_cast<DWORD>(-1);
        if (!WinHttpCrackUrl(ToPlatform(url), static_cast<DWORD>(url.size()), 0, &parts)) {
            return Failed(ConnectionFailure::Other, "not a URL: " + request.url);
        }
        const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
        std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
        path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

        WinHttpHandle connection(WinHttpConnect(session_.get(), host.c_str(), parts.nPort, 0));
        if (!connection) {
            return FailedCall("WinHttpConnect");
        }
        const std::wstring method = request.method == "POST" ? L"POST" : L"GET";
        const DWORD flags = parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
        WinHttpHandle exchange(WinHttpOpenRequest(connection.get(), method.c_str(), path.c_str(),
                                                  nullptr, WINHTTP_NO_REFERER,
                                                  WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
        if (!exchange) {
            return FailedCall("WinHttpOpenRequest");
        }
        const int limit = static_cast<int>(request.timeout.count());
        WinHttpSetTimeouts(exchange.get(), limit, limit, limit, limit);
        // Waiting for the answer's head is a limit of its own in some WinHTTPs.
        DWORD headLimit = static_cast<DWORD>(limit);
        WinHttpSetOption(exchange.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headLimit,
                         sizeof(headLimit));
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        WinHttpSetOption(exchange.get(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects,
                         sizeof(noRedirects));

        std::string headerBytes;
        for (const auto& [name, value] : request.headers) {
            headerBytes += name + ": " + value + "\r\n";
        }
        const std::u16string headers = NarrowToWide(headerBytes, kCodePageUtf8);
        const DWORD bodySize = static_cast<DWORD>(request.body.size());
        if (!WinHttpSendRequest(
                exchange.get(),
                headers.empty() ? WINHTTP_NO_ADDITIONAL_HEADERS : ToPlatform(headers),
                headers.empty() ? 0 : static_cast<DWORD>(-1L),
                const_cast<char*>(request.body.data()), bodySize, bodySize, 0) ||
            !WinHttpReceiveResponse(exchange.get(), nullptr)) {
            return FailedCall("sending the request");
        }

        HttpResponse response;
        DWORD status = 0;
        DWORD statusSize = sizeof(status);
        if (!WinHttpQueryHeaders(
                exchange.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX)) {
            return FailedCall("WinHttpQueryHeaders");
        }
        response.status = static_cast<int>(status);
        char buffer[16384];
        for (;;) {
            if (Clock::now() > deadline) {
                return Failed(ConnectionFailure::TimedOut, "the answer did not end in time");
            }
            DWORD read = 0;
            if (!WinHttpReadData(exchange.get(), buffer, sizeof(buffer), &read)) {
                return FailedCall("WinHttpReadData");
            }
            if (read == 0) {
                break;
            }
            if (response.body.size() + read > request.maxResponseBytes) {
                return Failed(ConnectionFailure::Other,
                              "the answer is longer than " +
                                  std::to_string(request.maxResponseBytes) + " bytes");
            }
            response.body.append(buffer, read);
        }
        return response;
    }

  private:
    WinHttpHandle session_;
};

}  // namespace

std::unique_ptr<HttpClient> MakeHttpClient() {
    return std::make_unique<WinHttpClient>();
}

}  // namespace bridge
