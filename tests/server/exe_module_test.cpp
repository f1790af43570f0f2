// The server's decision to end: only once its count has stayed at 0 for the
// delay, and then for good (an activation already on its way is refused
// rather than served by a process about to end).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/threads.h"
#include "server/exe_module.h"
#include "server/server_lifetime.h"

namespace {

using std::chrono::hours;
using std::chrono::milliseconds;

TEST(ExeModule, StopsOnlyWhenTheCountStaysAtZeroAndThenRefusesLocks) {
    server::CExeModule module(milliseconds(0), hours(1));
    module.Init(0);
    EXPECT_GT(module.MillisecondsUntilIdle(), 0u);  // never used: the long lifetime
    EXPECT_FALSE(module.TryStop());

    ASSERT_TRUE(module.Lock());
    ASSERT_TRUE(module.Lock());
    EXPECT_EQ(module.MillisecondsUntilIdle(), INFINITE);
    EXPECT_FALSE(module.TryStop());
    EXPECT_EQ(module.Unlock(), 1);
    EXPECT_FALSE(module.TryStop());
    EXPECT_EQ(module.Unlock(), 0);

    EXPECT_EQ(module.MillisecondsUntilIdle(), 0u);
    EXPECT_TRUE(module.TryStop());
    EXPECT_FALSE(module.Lock());
    EXPECT_EQ(module.LockCount(), 0);
    CoResumeClassObjects();  // TryStop left this process's class objects suspended
}

TEST(ExeModule, TheGraceStartsAgainAtEachLastRelease) {
    server::CExeModule module(hours(1), milliseconds(0));
    module.Init(0);
    EXPECT_EQ(module.MillisecondsUntilIdle(), 0u);  // unused: the short lifetime here
    ASSERT_TRUE(module.Lock());
    module.Unlock();
    EXPECT_GT(module.MillisecondsUntilIdle(), 3000000u);  // nearly the hour
    EXPECT_FALSE(module.TryStop());
    EXPECT_TRUE(module.Lock());  // resumed, not stopping
    module.Unlock();
}

// LockServer(FALSE) without a LockServer(TRUE) of its own, or a release too
// many, never takes the count below what live engines hold.
TEST(ExeModule, AnUnmatchedUnlockNeverDropsAnEnginesHold) {
    server::CExeModule module(milliseconds(0), milliseconds(0));
    module.Init(0);
    ASSERT_TRUE(module.Lock());  // an engine
    EXPECT_FALSE(module.UnlockServer());
    EXPECT_EQ(module.LockCount(), 1);
    EXPECT_FALSE(module.TryStop());
    ASSERT_TRUE(module.LockServer());
    EXPECT_TRUE(module.UnlockServer());
    EXPECT_EQ(module.LockCount(), 1);
    EXPECT_EQ(module.Unlock(), 0);
    EXPECT_EQ(module.Unlock(), 0);
    ASSERT_TRUE(module.Lock());
    EXPECT_EQ(module.LockCount(), 1);
    module.Unlock();
}

void SetVariable(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value != nullptr ? value : "");
#else
    if (value != nullptr) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
#endif
}

// The tests' override shortens the lifetimes; anything but a number of
// milliseconds up to the unused lifetime leaves them as they are.
TEST(ServerLifetimes, TheTestOverrideShortensAndIsOtherwiseIgnored) {
    const char* saved = std::getenv(server::kTestLifetimeVariable);
    const std::optional<std::string> original =
        saved != nullptr ? std::optional<std::string>(saved) : std::nullopt;
    struct Case {
        const char* value;
        long shutdownMs;
        long unusedMs;
    };
    const Case cases[] = {
        {nullptr, 2000, 60000}, {"5000", 2000, 5000},   {"500", 500, 500},
        {"60000", 2000, 60000}, {"60001", 2000, 60000}, {"0", 2000, 60000},
        {"-5", 2000, 60000},    {"12ab", 2000, 60000},  {"99999999999", 2000, 60000},
    };
    for (const Case& c : cases) {
        SetVariable(server::kTestLifetimeVariable, c.value);
        const server::ServerLifetimes lifetimes = server::EffectiveServerLifetimes();
        const std::string label = c.value != nullptr ? c.value : "(unset)";
        EXPECT_EQ(lifetimes.shutdownDelay.count(), c.shutdownMs) << label;
        EXPECT_EQ(lifetimes.unusedLifetime.count(), c.unusedMs) << label;
    }
    SetVariable(server::kTestLifetimeVariable, original ? original->c_str() : nullptr);
}

}  // namespace
