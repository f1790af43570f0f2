// HttpClient over libcurl: easy handles are kept between exchanges so that
// their connections to an upstream are reused.
#include <curl/curl.h>

#include <cerrno>
#include <mutex>
#include <string>
#include <vector>

#include "bridge/http_client.h"
#include "platform/unique_resource.h"

namespace bridge {
namespace {

using CurlEasy = UniqueResource<CURL*, curl_easy_cleanup>;
using CurlHeaders = UniqueResource<curl_slist*, curl_slist_free_all>;

// Handles kept for reuse beyond this many are closed.
constexpr std::size_t kKeptHandles = 16;

struct Sink {
    std::string* body;
    std::size_t limit;
    bool overLimit = false;
};

std::size_t Append(char* data, std::size_t size, std::size_t count, void* context) {
    auto& sink = *static_cast<Sink*>(context);
    const std::size_t bytes = size * count;
    if (sink.body->size() + bytes > sink.limit) {
        sink.overLimit = true;
        return 0;  // makes libcurl stop with CURLE_WRITE_ERROR
    }
    sink.body->append(data, bytes);
    return bytes;
}

ConnectionFailure Classify(CURLcode code, long osError) {
    switch (code) {
        case CURLE_COULDNT_CONNECT:
            return osError == ENETUNREACH || osError == EHOSTUNREACH
                       ? ConnectionFailure::Unreachable
                       : ConnectionFailure::Refused;
        case CURLE_COULDNT_RESOLVE_HOST:
            return ConnectionFailure::Unreachable;
        case CURLE_OPERATION_TIMEDOUT:
            return ConnectionFailure::TimedOut;
        case CURLE_SEND_ERROR:
        case CURLE_RECV_ERROR:
        case CURLE_GOT_NOTHING:
        case CURLE_PARTIAL_FILE:
            return ConnectionFailure::Reset;
        default:
            return ConnectionFailure::Other;
    }
}

class CurlClient final : public HttpClient {
  public:
    CurlClient() {
        static std::once_flag once;
        std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    }

    HttpResponse Send(const HttpRequest& request) override {
        CurlEasy handle = Take();
        HttpResponse response;
        if (!handle) {
            response.failure = ConnectionFailure::Other;
            response.detail = "libcurl could not make a handle";
            return response;
        }
        CURL* curl = handle.get();
        CurlHeaders headers;
        // "Expect:" keeps libcurl from waiting for a 100 Continue on large bodies.
        std::vector<std::string> lines{"Expect:"};
        for (const auto& [name, value] : request.headers) {
            lines.push_back(name + ": " + value);
        }
        for (const std::string& line : lines) {
            curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
            if (grown) {
                headers.release();
                headers.reset(grown);
            }
        }
        Sink sink{&response.body, request.maxResponseBytes};
        curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);  // several threads; no alarm signals
        curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout.count()));
        curl_easy_setopt(curl, CURLOPT_NOPROXY, "localhost,127.0.0.1,::1");
        curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers.get());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, Append);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &sink);
        if (request.method == "POST") {
            curl_easy_setopt(curl, CURLOPT_POST, 1L);
            curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
            curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(request.body.size()));
        } else {
            curl_easy_setopt(curl, CURLOPT_HTTPGET, 1L);
        }
        char message[CURL_ERROR_SIZE] = {};
        curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, message);

        const CURLcode code = curl_easy_perform(curl);
        if (code == CURLE_OK) {
            long status = 0;
            curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
            response.status = static_cast<int>(status);
        } else {
            long osError = 0;
            curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osError);
            response.failure = sink.overLimit ? ConnectionFailure::Other : Classify(code, osError);
            response.detail = sink.overLimit
                                  ? "the answer is longer than " +
                                        std::to_string(request.maxResponseBytes) + " bytes"
                              : message[0] ? message
                                           : curl_easy_strerror(code);
            response.body.clear();
        }
        curl_easy_reset(curl);  // keeps the handle's live connections
        Give(std::move(handle));
        return response;
    }

  private:
    CurlEasy Take() {
        {
            std::lock_guard lock(mutex_);
            if (!idle_.empty()) {
                CurlEasy handle = std::move(idle_.back());
                idle_.pop_back();
                return handle;
            }
        }
        return CurlEasy(curl_easy_init());
    }

    void Give(CurlEasy handle) {
        std::lock_guard lock(mutex_);
        if (idle_.size() < kKeptHandles) {
            idle_.push_back(std::move(handle));
        }
    }

    std::mutex mutex_;
    std::vector<CurlEasy> idle_;
};

}  // namespace

std::unique_ptr<HttpClient> MakeHttpClient() {
    return std::make_unique<CurlClient>();
}

}  // namespace bridge
