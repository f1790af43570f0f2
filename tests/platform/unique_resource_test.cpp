#include "platform/unique_resource.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "platform/internet_handle.h"

namespace {

// A handle type whose "none" is -1, as for search handles and sockets: every
// close is recorded.
std::vector<int> g_closed;
void RecordClose(int handle) {
    g_closed.push_back(handle);
}
using Recorded = UniqueResource<int, RecordClose, -1>;

TEST(UniqueResource, ClosesEachValueOnceAndNeverTheEmptyOne) {
    g_closed.clear();
    {
        Recorded none;
        EXPECT_FALSE(none);
        EXPECT_EQ(none.get(), -1);
        Recorded zero(0);  // 0 is a handle like any other here
        EXPECT_TRUE(zero);

        Recorded owner(1);
        owner.reset(1);  // the value it holds: kept open
        EXPECT_TRUE(g_closed.empty());
        owner.reset(2);
        EXPECT_EQ(g_closed, std::vector<int>{1});

        Recorded& same = owner;
        owner = std::move(same);  // moving onto itself keeps the value
        EXPECT_EQ(owner.get(), 2);
        Recorded moved(std::move(owner));
        EXPECT_FALSE(owner);
        owner = std::move(moved);  // the emptied owner takes it back
        EXPECT_FALSE(moved);

        int* slot = owner.put();  // closes what it held, hands out an empty slot
        EXPECT_EQ(*slot, -1);
        *slot = 3;
        EXPECT_EQ(g_closed, (std::vector<int>{1, 2}));
        EXPECT_EQ(owner.release(), 3);
        EXPECT_FALSE(owner);
    }
    EXPECT_EQ(g_closed, (std::vector<int>{1, 2, 0}));
}

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
        owner.reset(first);
        EXPECT_EQ(owner.get(), first);
        owner.reset(first);  // the same handle again: kept open
        EXPECT_TRUE(IsOpen(first));
        owner.reset(second);  // another handle: the first is closed
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
    EXPECT_EQ(moved.get(), handle);
    InternetHandle assigned;
    assigned = std::move(moved);
    EXPECT_TRUE(IsOpen(handle));
    assigned.reset(nullptr);  // a failed open stored into an owner closes what it held
    EXPECT_FALSE(assigned);
    EXPECT_FALSE(IsOpen(handle));
}

}  // namespace
