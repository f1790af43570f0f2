#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bridge/upstream_pool.h"

namespace {

using namespace std::chrono_literals;
using bridge::RouteStep;
using bridge::UpstreamError;

// Answers "<name>:<to>:<text>" unless a scripted failure is due.
class ScriptedUpstream final : public bridge::Upstream {
  public:
    explicit ScriptedUpstream(std::string name) : name_(std::move(name)) {}
    const std::string& Describe() const override { return name_; }
    std::string Translate(std::string_view text, std::string_view, std::string_view to) override {
        calls.emplace_back(text);
        if (!failures.empty()) {
            std::optional<UpstreamError> failure = failures.front();
            failures.pop_front();
            if (failure) {
                throw *failure;
            }
        }
        return name_ + ":" + std::string(to) + ":" + std::string(text);
    }

    std::deque<std::optional<UpstreamError>> failures;  // nullopt: that call succeeds
    std::vector<std::string> calls;

  private:
    std::string name_;
};

const UpstreamError kRefused(502, "A refused the connection", true);
const UpstreamError kAnswered500(502, "A answered 500", false);
const UpstreamError kTimedOut(504, "B did not answer within 20000 ms", true);

// Two upstreams "a" and "b" (30 s cool-down), de-en routed to a then b; a
// clock the test moves.
struct Pool {
    explicit Pool(std::size_t maxCharsOfA = 0) {
        std::vector<bridge::PoolMember> members;
        for (const char* name : {"a", "b"}) {
            auto upstream = std::make_unique<ScriptedUpstream>(name);
            (std::string(name) == "a" ? a : b) = upstream.get();
            bridge::UpstreamSettings settings;
            settings.name = name;
            settings.cooldown = 30s;
            settings.maxChars = std::string(name) == "a" ? maxCharsOfA : 0;
            members.push_back({settings, std::move(upstream)});
        }
        std::map<std::string, std::vector<RouteStep>> routes = {
            {"de-en", {{"a", "deu", "eng"}, {"b", "de", "en"}}}};
        translator = bridge::MakeTranslator(std::move(members), routes, [this] { return now; });
    }

    bridge::UpstreamState State(std::size_t index) const { return translator->Snapshot()[index]; }

    std::chrono::steady_clock::time_point now{};
    ScriptedUpstream* a = nullptr;
    ScriptedUpstream* b = nullptr;
    std::unique_ptr<bridge::Translator> translator;
};

TEST(UpstreamPool, ConnectionFailureFailsOverAndCoolsTheUpstreamDown) {
    Pool pool;
    pool.a->failures = {kRefused};
    EXPECT_EQ(pool.translator->Translate("de-en", "Hallo").text, "b:en:Hallo");
    EXPECT_TRUE(pool.State(0).coolingDown);
    EXPECT_EQ(pool.State(0).lastStatus, 502);
    EXPECT_EQ(pool.State(0).lastResult, "A refused the connection");

    pool.now += 29s;  // still cooling: a is not asked
    EXPECT_EQ(pool.translator->Translate("de-en", "Welt").text, "b:en:Welt");
    EXPECT_EQ(pool.a->calls.size(), 1u);

    pool.now += 1s;  // cooled down: a serves again, with its own codes
    const bridge::Translation served = pool.translator->Translate("de-en", "Haus");
    EXPECT_EQ(served.text, "a:eng:Haus");
    EXPECT_EQ(served.upstream, "a");
    const bridge::UpstreamState a = pool.State(0);
    EXPECT_FALSE(a.coolingDown);
    EXPECT_EQ(a.lastResult, "ok");
    EXPECT_EQ(a.calls, 2u);
    EXPECT_EQ(a.failures, 1u);
}

TEST(UpstreamPool, AnErrorAnswerTriesTheNextStepWithoutCoolingDown) {
    Pool pool;
    pool.a->failures = {kAnswered500};
    EXPECT_EQ(pool.translator->Translate("de-en", "Hallo").text, "b:en:Hallo");
    EXPECT_FALSE(pool.State(0).coolingDown);
    EXPECT_EQ(pool.translator->Translate("de-en", "Welt").text, "a:eng:Welt");
}

TEST(UpstreamPool, NoStepServing) {
    struct Case {
        const char* name;
        std::deque<std::optional<UpstreamError>> aFails, bFails;
        int calls;  // the last one is checked
        int status;
        std::string reason;
    };
    const Case cases[] = {
        {"both fail: the last failure",
         {kAnswered500},
         {kTimedOut},
         1,
         504,
         "B did not answer within 20000 ms"},
        {"one failed, one cooling down: the failure",
         {kAnswered500, kAnswered500},
         {kTimedOut},
         2,
         502,
         "A answered 500"},
        {"both cooling down: why the first was",
         {kRefused},
         {kTimedOut},
         2,
         502,
         "A refused the connection (skipped 30 s more)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Pool pool;
        pool.a->failures = c.aFails;
        pool.b->failures = c.bFails;
        std::optional<UpstreamError> last;
        for (int call = 0; call < c.calls; ++call) {
            try {
                pool.translator->Translate("de-en", "x");
                ADD_FAILURE() << "served";
            } catch (const UpstreamError& error) {
                last = error;
            }
        }
        ASSERT_TRUE(last);
        EXPECT_EQ(last->Status(), c.status);
        EXPECT_EQ(std::string(last->what()), c.reason);
    }
}

TEST(UpstreamPool, DirectionWithoutRouteIs404) {
    Pool pool;
    try {
        pool.translator->Translate("en-fa", "x");
        ADD_FAILURE() << "served";
    } catch (const UpstreamError& error) {
        EXPECT_EQ(error.Status(), 404);
        EXPECT_FALSE(error.ConnectionLevel());
    }
}

TEST(UpstreamPool, TextOverTheLimitIsTranslatedInPiecesJoinedWithTheirSeparators) {
    Pool pool(6);
    EXPECT_EQ(pool.translator->Translate("de-en", "Aa bb.\n\n \n\nCc dd.").text,
              "a:eng:Aa bb.\n\n \n\na:eng:Cc dd.");
    EXPECT_EQ(pool.a->calls, (std::vector<std::string>{"Aa bb.", "Cc dd."}));
    // A piece that fails fails the step; the next step gets the whole text.
    pool.a->failures = {std::nullopt, kAnswered500};
    EXPECT_EQ(pool.translator->Translate("de-en", "Aa bb.\n\nCc dd.").text,
              "b:en:Aa bb.\n\nCc dd.");
}

}  // namespace
