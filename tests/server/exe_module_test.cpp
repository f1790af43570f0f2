// The server's decision to end: only once its count has stayed at 0 for the
// delay, and then for good (an activation already on its way is refused
// rather than served by a process about to end).
#include <gtest/gtest.h>

#include <chrono>

#include "platform/threads.h"
#include "server/exe_module.h"

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

}  // namespace
