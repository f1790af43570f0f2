#include <gtest/gtest.h>

#include <utility>

#include "platform/com.h"
#include "platform/com_ptr.h"

namespace {

// Counts references without ever deleting itself, so tests can read the count.
class Counted final : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** object) override {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++count); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--count); }
    LONG count = 1;
};

}  // namespace

TEST(ComPtr, AdoptsRetainsAndReleasesExactlyOnce) {
    Counted object;
    {
        ComPtr<Counted> adopted(&object);  // takes the initial reference
        EXPECT_EQ(object.count, 1);
        {
            ComPtr<Counted> retained = ComPtr<Counted>::Retain(&object);
            EXPECT_EQ(object.count, 2);
        }
        EXPECT_EQ(object.count, 1);

        ComPtr<Counted> moved(std::move(adopted));
        EXPECT_FALSE(adopted);
        EXPECT_EQ(object.count, 1);

        ComPtr<Counted> assigned;
        assigned = std::move(moved);
        EXPECT_EQ(object.count, 1);
        EXPECT_EQ(assigned.get(), &object);
    }
    EXPECT_EQ(object.count, 0);
}

TEST(ComPtr, PutReleasesTheHeldReferenceAndReleaseHandsItOver) {
    Counted first;
    Counted second;
    ComPtr<Counted> pointer(&first);
    Counted** slot = pointer.put();
    EXPECT_EQ(first.count, 0);
    EXPECT_EQ(*slot, nullptr);
    *slot = &second;

    Counted* handed = pointer.release();
    EXPECT_EQ(handed, &second);
    EXPECT_EQ(second.count, 1);  // still owned, now by the caller
    EXPECT_FALSE(pointer);

    pointer.reset(handed);
    pointer.reset();
    EXPECT_EQ(second.count, 0);
}

TEST(Guid, EqualityLooksAtEveryField) {
    const GUID base = {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
    GUID other = base;
    EXPECT_TRUE(IsEqualGUID(base, other));
    other.Data4[7] = 9;
    EXPECT_FALSE(IsEqualGUID(base, other));
    other = base;
    other.Data3 = 0;
    EXPECT_FALSE(IsEqualGUID(base, other));
    EXPECT_FALSE(IsEqualGUID(IID_IUnknown, IID_IDispatch));
}

TEST(Interlocked, ReturnsTheNewValue) {
    volatile LONG value = 0;
    EXPECT_EQ(InterlockedIncrement(&value), 1);
    EXPECT_EQ(InterlockedIncrement(&value), 2);
    EXPECT_EQ(InterlockedDecrement(&value), 1);
    EXPECT_EQ(InterlockedDecrement(&value), 0);
    EXPECT_EQ(InterlockedDecrement(&value), -1);
}
