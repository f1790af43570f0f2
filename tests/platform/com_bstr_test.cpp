#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>

#include "platform/com.h"
#include "platform/unique_bstr.h"
#include "platform/wide.h"

namespace {

std::uint32_t BytePrefix(BSTR text) {
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(text) - sizeof(prefix), sizeof(prefix));
    return prefix;
}

}  // namespace

TEST(Bstr, KeepsEveryCharacterWithByteLengthPrefixAndTerminator) {
    struct Case {
        const char* name;
        std::u16string text;
    };
    const Case cases[] = {
        {"empty", u""},
        {"plain", u"Hallo Welt"},
        {"inner NUL", std::u16string(u"ab\0cd", 5)},
        {"trailing NUL", std::u16string(u"ab\0", 3)},
        {"surrogate pair", u"x\U0001F600y"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BSTR text = SysAllocStringLen(ToPlatform(c.text.data()), static_cast<UINT>(c.text.size()));
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(SysStringLen(text), c.text.size());
        EXPECT_EQ(SysStringByteLen(text), c.text.size() * 2);
        EXPECT_EQ(BytePrefix(text), c.text.size() * 2);
        EXPECT_EQ(FromPlatform(text, c.text.size()), c.text);
        EXPECT_EQ(text[c.text.size()], 0);
        SysFreeString(text);
    }
}

TEST(Bstr, NullInputsAreEmptyStrings) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_EQ(SysStringByteLen(nullptr), 0u);
    SysFreeString(nullptr);

    BSTR zeroed = SysAllocStringLen(nullptr, 3);
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(SysStringLen(zeroed), 3u);
    SysFreeString(zeroed);
}

TEST(Bstr, AllocStringStopsAtTheFirstNul) {
    const char16_t text[] = u"ab\0cd";
    BSTR copy = SysAllocString(ToPlatform(text));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(SysStringLen(copy), 2u);
    SysFreeString(copy);
}

TEST(UniqueBstr, CopyKeepsNulsAndTextUpToNulCutsThere) {
    const std::u16string withNul(u"one\0two", 7);
    UniqueBstr copy = CopyToBstr(withNul);
    ASSERT_TRUE(copy);
    EXPECT_EQ(SysStringLen(copy.get()), 7u);
    EXPECT_EQ(TextUpToNul(copy.get()), u"one");

    EXPECT_EQ(TextUpToNul(nullptr), u"");
    EXPECT_EQ(TextUpToNul(CopyToBstr(u"").get()), u"");
    EXPECT_EQ(TextUpToNul(CopyToBstr(u"whole").get()), u"whole");
}

// Long texts are scanned a step at a time: a NUL must cut the text wherever
// it falls in or between steps, and a text without one stays whole.
TEST(UniqueBstr, TextUpToNulCutsAtEveryPlaceOfALongText) {
    for (std::size_t size : {15u, 16u, 17u, 47u, 48u, 100u}) {
        const std::u16string whole(size, u'x');
        EXPECT_EQ(TextViewUpToNul(CopyToBstr(whole).get()), whole);
        for (std::size_t at = 0; at < size; ++at) {
            std::u16string text = whole;
            text[at] = u'\0';
            if (at + 1 < size) {
                text[size - 1] = u'\0';  // only the first NUL counts
            }
            UniqueBstr copy = CopyToBstr(text);
            EXPECT_EQ(TextViewUpToNul(copy.get()).size(), at) << size << " " << at;
        }
    }
}

TEST(UniqueBstr, OwnershipMovesAndPutFreesTheOldString) {
    UniqueBstr first = CopyToBstr(u"first");
    const BSTR raw = first.get();
    UniqueBstr second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), raw);

    // put() must free what is held (the leak checker of the sanitizer builds
    // reports it otherwise) and hand out an empty slot.
    BSTR* slot = second.put();
    EXPECT_EQ(*slot, nullptr);
    *slot = SysAllocString(ToPlatform(u"second"));
    EXPECT_EQ(TextUpToNul(second.get()), u"second");

    BSTR released = second.release();
    EXPECT_FALSE(second);
    SysFreeString(released);
}
