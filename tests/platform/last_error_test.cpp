#include <gtest/gtest.h>

#include <thread>

#include "platform/types.h"

// Each thread keeps its own last-error value, as the system does.
TEST(LastError, IsPerThread) {
    SetLastError(5);
    DWORD seenByOther = 0xFFFFFFFF;
    std::thread other([&] {
        SetLastError(1450);
        seenByOther = GetLastError();
    });
    other.join();
    EXPECT_EQ(seenByOther, 1450u);
    EXPECT_EQ(GetLastError(), 5u);
}
