#include "bridge/bridge_service.h"

#include <utility>

#include "bridge/directions.h"
#include "bridge/status_document.h"
#include "bridge/utf8_check.h"

namespace bridge {
namespace {

constexpr std::string_view kStatusPath = "/status";

using Clock = std::chrono::steady_clock;

// The path of a target without its query, cut to a length fit for a reason.
std::string ShortPath(std::string_view target) {
    std::string path(target.substr(0, target.find('?')));
    return path.size() > 60 ? path.substr(0, 57) + "..." : path;
}

}  // namespace

BridgeService::BridgeService(Translator& translator, TranslationCache& cache, RequestLog& log,
                             std::map<std::string, std::vector<RouteStep>> routes,
                             std::string version)
    : translator_(translator),
      cache_(cache),
      log_(log),
      routes_(std::move(routes)),
      version_(std::move(version)) {}

Reply BridgeService::Handle(const ClientRequest& request) {
    const Clock::time_point start = Clock::now();
    RequestRecord record;
    record.what = request.method + " " + ShortPath(request.target);
    Reply reply;
    const std::optional<Direction> direction = DirectionOfTarget(request.target);
    if (ShortPath(request.target) == kStatusPath) {
        reply = request.method == "GET"
                    ? Reply{200, "", "application/json; charset=utf-8", StatusJson()}
                    : ErrorReply(405, "only GET is served at /status");
    } else if (!direction) {
        reply = ErrorReply(404, "no pipeline at " + ShortPath(request.target) +
                                    "; the bridge serves /fcgiDispatch.XX and /status");
    } else if (request.method != "POST") {
        reply = ErrorReply(405, "only POST is served at " + ShortPath(request.target));
    } else {
        record.what = std::string(direction->code);
        reply = Translate(request, direction->code, record);
        if (reply.status == 200) {
            record.translation = reply.body;
        }
    }
    record.status = reply.status;
    if (reply.status != 200) {
        record.reason = reply.reason;
    }
    record.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    Count(reply.status);
    log_.Write(record);
    return reply;
}

Reply BridgeService::Translate(const ClientRequest& request, std::string_view direction,
                               RequestRecord& record) {
    const std::string& text = request.body;
    record.charsIn = CountCodePoints(text);
    record.text = text;
    if (routes_.count(std::string(direction)) == 0) {
        return ErrorReply(
            404, "no upstream is configured for " + std::string(direction) + " on this bridge");
    }
    if (!IsValidUtf8(text)) {
        return ErrorReply(400, "request body is not valid UTF-8");
    }
    if (text.empty()) {
        return Reply{};  // nothing to translate, nobody to ask
    }
    Translation translation;
    if (std::optional<Translation> cached = cache_.Find(direction, text)) {
        translation = std::move(*cached);
        record.cacheHit = true;
    } else {
        try {
            translation = translator_.Translate(direction, text);
        } catch (const UpstreamError& error) {
            const int status =
                error.Status() >= 400 && error.Status() <= 599 ? error.Status() : 502;
            return ErrorReply(status, error.what());
        } catch (const std::exception& error) {
            return ErrorReply(500, std::string("internal error: ") + error.what());
        }
        cache_.Store(direction, text, translation);
    }
    record.upstream = translation.upstream;
    record.charsOut = CountCodePoints(translation.text);
    Reply reply;
    reply.body = std::move(translation.text);
    return reply;
}

void BridgeService::Refused(const Reply& reply, std::chrono::milliseconds elapsed) {
    RequestRecord record;
    record.what = "-";
    record.status = reply.status;
    record.reason = reply.reason;
    record.elapsed = elapsed;
    Count(reply.status);
    log_.Write(record);
}

void BridgeService::Count(int status) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++requestsByStatus_[status];
}

std::string BridgeService::StatusJson() const {
    StatusInputs inputs;
    inputs.version = version_;
    inputs.routes = &routes_;
    inputs.upstreams = translator_.Snapshot();
    inputs.cache = cache_.Stats();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        inputs.requestsByStatus = requestsByStatus_;
    }
    return StatusDocument(inputs);
}

}  // namespace bridge
