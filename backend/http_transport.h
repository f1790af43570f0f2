// HTTP exchange with the translation back end on this machine: a POST of one
// chunk to a pipeline path and its whole answer. Every exchange opens its own
// Internet handle, connection and request and closes them before returning.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/internet_handle.h"
#include "platform/internet.h"

inline constexpr char kBackendHost[] = "localhost";
inline constexpr INTERNET_PORT kBackendPort = 11000;
inline constexpr char kBackendUserAgent[] = "Mozilla/4.0 (compatible; MSIE 5.5; Windows NT 4.0)";
inline constexpr char kBackendContentType[] = "Content-Type: text/xml; charset=utf-8\r\n";

// An answer longer than this is refused rather than held: a runaway back end
// must not take the process's memory.
inline constexpr std::size_t kMaxAnswerBytes = std::size_t{64} << 20;

// Limits per connection, in milliseconds: a back end that stops talking ends
// the exchange instead of holding the client lock for ever.
struct TransportTimeouts {
    DWORD connectMs = 60000;
    DWORD sendMs = 30000;
    DWORD receiveMs = 30000;
};

// Tests only: the port used instead of 11000 (0 restores 11000).
void SetBackendPortForTesting(INTERNET_PORT port);
INTERNET_PORT BackendPort();
// Tests only: other limits (default-constructed restores the defaults).
void SetBackendTimeoutsForTesting(TransportTimeouts timeouts);
TransportTimeouts BackendTimeouts();

// "localhost:<port>", as error messages name the back end.
std::string BackendAddress();

// Opens the Internet handle unless `internet` holds one; true when it does.
bool OpenSession(InternetHandle& internet);

// Connects to the back end and opens the POST request for `path`; false when
// either handle could not be had.
bool OpenRequest(HINTERNET internet, InternetHandle& connection, InternetHandle& request,
                 const std::string& path);

// Sends the body, repeating it (three sends at most) while a proxy asks for
// credentials. False when the request could not be sent for good; then
// GetLastError gives the last send's error.
bool SendRequest(HINTERNET request, std::string_view body);

struct BackendAnswer {
    enum class End {
        Complete,   // read to its end
        ReadError,  // a read failed (reset, time-out); `error` tells which
        CutShort,   // fewer bytes arrived than the answer announced
        TooLarge,   // more than kMaxAnswerBytes
    };
    std::string body;
    End end = End::Complete;
    DWORD error = 0;
    std::uint64_t announced = 0;  // Content-Length, when End::CutShort
};

// Reads the whole answer body, whatever its status.
BackendAnswer ReadResponse(HINTERNET request);

// Reason phrases longer than this are cut: the text ends up in a message.
inline constexpr std::size_t kMaxStatusTextBytes = 128;

// The answer's status line without its version ("404 Not Found"), or nullopt
// when the answer's status is not 400 to 599 or cannot be had.
std::optional<std::string> ErrorStatus(HINTERNET request);

// One whole exchange. Returns nullopt when no handle could be had (nothing was
// sent), the answer's bytes otherwise; throws StringException naming the back
// end when it could not be reached, answered with an error status or its
// answer is not whole.
std::optional<std::string> PostToBackend(const std::string& path, std::string_view body);
