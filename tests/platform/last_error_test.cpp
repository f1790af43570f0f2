#include <gtest/gtest.h>

#include <thread>

#include "platform/types.h"

// A value set on one thread is never seen by another.
TEST(LastError, IsPerThread) {
    SetLastError(1450);
    DWORD seenByOther = 0xFFFFFFFF;
    std::thread other([&] { seenByOther = GetLastError(); });
    other.join();
    EXPECT_EQ(seenByOther, 0u);
}
