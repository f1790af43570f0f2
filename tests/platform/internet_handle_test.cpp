#include "platform/internet_handle.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

HINTERNET OpenHandle() {
    return InternetOpenA("test", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
}

// A handle is open while the client library still answers questions about it.
bool IsOpen(HINTERNET handle) {
    DWORD value = 0;
    DWORD size = sizeof value;
    return InternetQueryOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &value, &size) != FALSE;
}

TEST(InternetHandle, ClosesWhenReplacedOrDestroyed) {
    HINTERNET first = OpenHandle();
    HINTERNET second = OpenHandle();
    ASSERT_TRUE(first && second);
    {
        InternetHandle owner;
        EXPECT_FALSE(owner);
        owner = first;
        EXPECT_EQ(owner.Get(), first);
        owner = first;  // the same handle again: kept open
        EXPECT_TRUE(IsOpen(first));
        owner = second;  // another handle: the first is closed
        EXPECT_FALSE(IsOpen(first));
        EXPECT_TRUE(IsOpen(second));
    }
    EXPECT_FALSE(IsOpen(second));
}

TEST(InternetHandle, NullAndMoveTransferOwnership) {
    HINTERNET handle = OpenHandle();
    ASSERT_TRUE(handle);
    InternetHandle owner(handle);
    InternetHandle moved(std::move(owner));
    EXPECT_FALSE(owner);
    EXPECT_EQ(moved.Get(), handle);
    InternetHandle assigned;
    assigned = std::move(moved);
    EXPECT_TRUE(IsOpen(handle));
    assigned = nullptr;  // a failed open stored into an owner closes what it held
    EXPECT_FALSE(assigned);
    EXPECT_FALSE(IsOpen(handle));
}

}  // namespace
