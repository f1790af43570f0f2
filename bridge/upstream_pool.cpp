#include "bridge/upstream_pool.h"

#include <mutex>
#include <optional>
#include <stdexcept>
#include <utility>

#include "bridge/text_splitter.h"
#include "bridge/upstream_apertium.h"
#include "bridge/upstream_common.h"
#include "bridge/upstream_libretranslate.h"
#include "bridge/upstream_openai_chat.h"
#include "bridge/upstream_opus_mt.h"

namespace bridge {
namespace {

using TimePoint = std::chrono::steady_clock::time_point;

bool IsBlank(std::string_view text) {
    return text.find_first_not_of(" \t\r\n\f\v") == std::string_view::npos;
}

class UpstreamPool final : public Translator {
  public:
    UpstreamPool(std::vector<PoolMember> members,
                 const std::map<std::string, std::vector<RouteStep>>& directions, PoolClock clock)
        : clock_(std::move(clock)) {
        members_.reserve(members.size());
        for (auto& member : members) {
            if (!member.upstream ||
                !byName_.emplace(member.settings.name, members_.size()).second) {
                throw std::invalid_argument("upstream \"" + member.settings.name +
                                            "\" is missing or given twice");
            }
            Member& added = members_.emplace_back();
            added.settings = std::move(member.settings);
            added.upstream = std::move(member.upstream);
        }
        for (const auto& [direction, steps] : directions) {
            std::vector<Step>& route = routes_[direction];
            for (const RouteStep& step : steps) {
                const auto found = byName_.find(step.upstream);
                if (found == byName_.end()) {
                    throw std::invalid_argument("direction " + direction +
                                                " names no configured upstream \"" + step.upstream +
                                                "\"");
                }
                route.push_back(Step{found->second, step.from, step.to});
            }
        }
    }

    Translation Translate(std::string_view direction, std::string_view text) override {
        const auto route = routes_.find(direction);
        if (route == routes_.end() || route->second.empty()) {
            throw UpstreamError(
                404, OneLineReason("no upstream serves the direction " + std::string(direction)),
                false);
        }
        std::optional<UpstreamError> failure;  // the last failure of an upstream tried
        std::optional<UpstreamError> skipped;  // why the first upstream skipped was
        for (const Step& step : route->second) {
            Member& member = members_[step.member];
            if (auto cooling = CoolingDown(member)) {
                if (!skipped) {
                    skipped = std::move(cooling);
                }
                continue;
            }
            try {
                return {TranslateBy(member, text, step), member.upstream->Describe()};
            } catch (const UpstreamError& error) {
                failure = error;
            }
        }
        throw failure ? *failure : *skipped;
    }

    std::vector<UpstreamState> Snapshot() const override {
        const TimePoint now = clock_();
        std::lock_guard lock(mutex_);
        std::vector<UpstreamState> states;
        states.reserve(members_.size());
        for (const Member& member : members_) {
            states.push_back(UpstreamState{member.settings.name, member.upstream->Describe(),
                                           member.lastResult, member.lastStatus,
                                           member.coolUntil > now, member.calls, member.failures});
        }
        return states;
    }

  private:
    struct Member {
        UpstreamSettings settings;
        std::unique_ptr<Upstream> upstream;
        // Guarded by mutex_.
        std::string lastResult;
        int lastStatus = 0;
        TimePoint coolUntil{};
        std::uint64_t calls = 0;
        std::uint64_t failures = 0;
    };
    struct Step {
        std::size_t member;
        std::string from;
        std::string to;
    };

    // Why the member is skipped now, or nothing when it may be tried.
    std::optional<UpstreamError> CoolingDown(const Member& member) const {
        const TimePoint now = clock_();
        std::lock_guard lock(mutex_);
        if (member.coolUntil <= now) {
            return std::nullopt;
        }
        const auto left = std::chrono::ceil<std::chrono::seconds>(member.coolUntil - now).count();
        return UpstreamError(
            member.lastStatus,
            OneLineReason(member.lastResult + " (skipped " + std::to_string(left) + " s more)"),
            true);
    }

    // The text translated by one upstream, piece by piece under its limit,
    // with the separators between the pieces kept.
    std::string TranslateBy(Member& member, std::string_view text, const Step& step) {
        std::string translated;
        for (const TextPiece& piece : SplitForLimit(text, member.settings.maxChars)) {
            if (IsBlank(piece.text)) {
                translated += piece.text;
            } else {
                translated += Call(member, piece.text, step);
            }
            translated += piece.separator;
        }
        return translated;
    }

    std::string Call(Member& member, std::string_view text, const Step& step) {
        try {
            std::string translated = member.upstream->Translate(text, step.from, step.to);
            std::lock_guard lock(mutex_);
            ++member.calls;
            member.lastResult = "ok";
            member.lastStatus = 200;
            return translated;
        } catch (const UpstreamError& error) {
            Failed(member, error);
            throw;
        } catch (const std::exception& error) {
            // Anything else an upstream throws is its fault, not the bridge's.
            const UpstreamError failure(
                502, OneLineReason(member.upstream->Describe() + ": " + error.what()), false);
            Failed(member, failure);
            throw failure;
        }
    }

    void Failed(Member& member, const UpstreamError& error) {
        const TimePoint now = clock_();
        std::lock_guard lock(mutex_);
        ++member.calls;
        ++member.failures;
        member.lastResult = error.what();
        member.lastStatus = error.Status();
        if (error.ConnectionLevel()) {
            member.coolUntil = now + member.settings.cooldown;
        }
    }

    PoolClock clock_;
    std::vector<Member> members_;
    std::map<std::string, std::size_t, std::less<>> byName_;
    std::map<std::string, std::vector<Step>, std::less<>> routes_;
    mutable std::mutex mutex_;
};

}  // namespace

std::unique_ptr<Upstream> MakeUpstream(const UpstreamSettings& settings,
                                       std::shared_ptr<HttpClient> client) {
    switch (settings.kind) {
        case UpstreamKind::Apertium:
            return std::make_unique<ApertiumUpstream>(settings, std::move(client));
        case UpstreamKind::LibreTranslate:
            return std::make_unique<LibreTranslateUpstream>(settings, std::move(client));
        case UpstreamKind::OpusMt:
            return std::make_unique<OpusMtUpstream>(settings, std::move(client));
        case UpstreamKind::OpenAiChat:
            return std::make_unique<OpenAiChatUpstream>(settings, std::move(client));
    }
    throw std::invalid_argument("unknown upstream kind");
}

std::unique_ptr<Translator> MakeTranslator(
    const std::vector<UpstreamSettings>& upstreams,
    const std::map<std::string, std::vector<RouteStep>>& directions) {
    std::shared_ptr<HttpClient> client = MakeHttpClient();
    std::vector<PoolMember> members;
    for (const UpstreamSettings& settings : upstreams) {
        members.push_back(PoolMember{settings, MakeUpstream(settings, client)});
    }
    return MakeTranslator(std::move(members), directions,
                          [] { return std::chrono::steady_clock::now(); });
}

std::unique_ptr<Translator> MakeTranslator(
    std::vector<PoolMember> members,
    const std::map<std::string, std::vector<RouteStep>>& directions, PoolClock clock) {
    return std::make_unique<UpstreamPool>(std::move(members), directions, std::move(clock));
}

}  // namespace bridge
