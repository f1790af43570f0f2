// The UTF-8 codec's block paths (ASCII and two-byte sequences several at a
// time, runs of one sequence length) against the rules applied one sequence
// at a time, on text built to cross block boundaries at every offset and to
// mix well-formed and malformed sequences. Output space is tested too: a
// short buffer stops at the same place, and nothing lands beyond the count.
// Every case runs once per block kernel the processor has, and once with none.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "fuzz/support/utf8_reference.h"
#include "text/code_pages.h"
#include "text/utf8.h"
#include "text/utf8_simd.h"

namespace {

using utf8_reference::Decode;
using utf8_reference::DecodeTerminated;
using utf8_reference::Encode;
using utf8_reference::EncodeCodePoint;

constexpr char16_t kSentinel = 0xA5A5;
constexpr char kByteSentinel = '\x5A';

// Bytes that are mostly runs of one kind (so that blocks form) with every
// kind of damage sprinkled in at a chosen rate.
std::string RandomUtf8(std::mt19937& random, std::size_t length, unsigned damagePercent) {
    std::string bytes;
    while (bytes.size() < length) {
        const unsigned kind = random() % 6;
        const std::size_t run = 1 + random() % 24;
        for (std::size_t k = 0; k < run && bytes.size() < length; ++k) {
            if (random() % 100 < damagePercent) {
                switch (random() % 9) {
                    case 0:
                        bytes.push_back('\0');
                        break;
                    case 1:
                        bytes.push_back(static_cast<char>(0x80 + random() % 0x40));  // stray
                        break;
                    case 2:
                        bytes += "\xC0\x80";  // over-long zero
                        break;
                    case 3:
                        bytes.push_back(static_cast<char>(0xC0 + random() % 0x20));
                        bytes.push_back(static_cast<char>(random() % 0x80));  // bad continuation
                        break;
                    case 4:
                        bytes.push_back(static_cast<char>(0xC0 + random() % 0x20));
                        bytes.push_back(static_cast<char>(0xC0 + random() % 0x40));  // lead eaten
                        break;
                    case 5:
                        bytes.push_back(static_cast<char>(0xE0 + random() % 0x10));
                        bytes.push_back(static_cast<char>(random() % 0x100));
                        bytes.push_back(static_cast<char>(random() % 0x100));
                        break;
                    case 6:
                        bytes.push_back(static_cast<char>(0xF8 + random() % 8));  // five, six bytes
                        break;
                    case 7:
                        bytes.push_back(static_cast<char>(0xC1));
                        bytes.push_back(static_cast<char>(0x80 + random() % 0x40));
                        break;
                    default:
                        bytes.push_back(static_cast<char>(random() % 0x100));
                }
                continue;
            }
            switch (kind) {
                case 0:
                case 1:
                    bytes.push_back(static_cast<char>(0x20 + random() % 0x5F));
                    break;
                case 2:
                    bytes += EncodeCodePoint(0x80 + random() % 0x780);
                    break;
                case 3:
                    bytes += random() % 3 == 0 ? std::string(1, ' ')
                                               : EncodeCodePoint(0x600 + random() % 0x100);
                    break;
                case 4:
                    bytes += EncodeCodePoint(0x800 + random() % 0xF7FF);
                    break;
                default:
                    bytes += EncodeCodePoint(0x10000 + random() % 0x100000);
            }
        }
    }
    return bytes;
}

std::u16string RandomUtf16(std::mt19937& random, std::size_t length, unsigned damagePercent) {
    std::u16string text;
    while (text.size() < length) {
        const unsigned kind = random() % 5;
        const std::size_t run = 1 + random() % 24;
        for (std::size_t k = 0; k < run && text.size() < length; ++k) {
            if (random() % 100 < damagePercent) {
                switch (random() % 5) {
                    case 0:
                        text.push_back(u'\0');
                        break;
                    case 1:
                        text.push_back(static_cast<char16_t>(0xD800 + random() % 0x400));
                        break;
                    case 2:
                        text.push_back(static_cast<char16_t>(0xDC00 + random() % 0x400));
                        break;
                    case 3:
                        text.push_back(u'\uFFFF');
                        break;
                    default:
                        text.push_back(static_cast<char16_t>(random() % 0x10000));
                }
                continue;
            }
            switch (kind) {
                case 0:
                    text.push_back(static_cast<char16_t>(0x20 + random() % 0x5F));
                    break;
                case 1:
                    text.push_back(static_cast<char16_t>(random() % 2 ? 0x20 + random() % 0x5F
                                                                      : 0x80 + random() % 0x780));
                    break;
                case 2:
                    text.push_back(static_cast<char16_t>(0x700 + random() % 0x200));  // 0x7FF edge
                    break;
                case 3:
                    text.push_back(static_cast<char16_t>(0x4E00 + random() % 0x5000));
                    break;
                default:
                    text.push_back(static_cast<char16_t>(0xD800 + random() % 0x400));
                    text.push_back(static_cast<char16_t>(0xDC00 + random() % 0x400));
            }
        }
    }
    text.resize(length);
    return text;
}

// Letters with an accented or other two-byte letter about one in five.
std::u16string TwoByteText(std::size_t units, unsigned seed) {
    static constexpr char16_t kLetters[] =
        u"\u00E9\u00E8\u00E7\u00FC\u00DF\u0153\u0633\u07FF\u0080";
    std::mt19937 random(seed);
    std::u16string text;
    while (text.size() < units) {
        text.push_back(random() % 5 == 0 ? kLetters[random() % 9]
                                         : static_cast<char16_t>('a' + random() % 26));
    }
    return text;
}

std::string TwoByteBytes(std::size_t units, unsigned seed) {
    return Encode(TwoByteText(units, seed));
}

// Both decoders against the rules; DecodeUtf8 must leave the spare room alone.
testing::AssertionResult DecodesLikeTheRules(const std::string& bytes) {
    if (NarrowToWide(bytes, kCodePageUtf8) != DecodeTerminated(bytes))
        return testing::AssertionFailure() << "NarrowToWide differs";
    std::vector<char16_t> out(bytes.size() + 40, kSentinel);
    const std::size_t written =
        DecodeUtf8(bytes.data(), bytes.size(), out.data(), bytes.size() + 8);
    if (std::u16string(out.data(), written) != Decode(bytes))
        return testing::AssertionFailure() << "DecodeUtf8 differs";
    for (std::size_t k = written; k < out.size(); ++k) {
        if (out[k] != kSentinel)
            return testing::AssertionFailure() << "DecodeUtf8 wrote unit " << k;
    }
    return testing::AssertionSuccess();
}

// Both encoders against the rules, EncodeUtf8 given exactly the room it needs
// and given room to spare; it must leave the spare room alone.
testing::AssertionResult EncodesLikeTheRules(const std::u16string& text) {
    const std::string expected = Encode(text);
    if (WideToNarrow(text, kCodePageUtf8) != expected)
        return testing::AssertionFailure() << "WideToNarrow differs";
    for (std::size_t spare : {0, 64}) {
        std::vector<char> out(expected.size() + 128, kByteSentinel);
        const std::size_t written =
            EncodeUtf8(text.data(), text.size(), out.data(), expected.size() + spare);
        if (std::string(out.data(), written) != expected)
            return testing::AssertionFailure() << "EncodeUtf8 differs, spare room " << spare;
        for (std::size_t k = written; k < out.size(); ++k) {
            if (out[k] != kByteSentinel)
                return testing::AssertionFailure()
                       << "EncodeUtf8 wrote byte " << k << ", spare room " << spare;
        }
    }
    return testing::AssertionSuccess();
}

class Utf8Equivalence : public testing::TestWithParam<Utf8Kernel> {
  protected:
    void SetUp() override {
        if (!SelectUtf8Kernel(GetParam()))
            GTEST_SKIP() << "not on this processor";
    }
    void TearDown() override { SelectUtf8Kernel(previous_); }

  private:
    Utf8Kernel previous_ = ActiveUtf8Kernel();
};

INSTANTIATE_TEST_SUITE_P(Kernels, Utf8Equivalence,
                         testing::Values(Utf8Kernel::kNone, Utf8Kernel::kSsse3, Utf8Kernel::kAvx2),
                         [](const testing::TestParamInfo<Utf8Kernel>& info) {
                             switch (info.param) {
                                 case Utf8Kernel::kSsse3:
                                     return "ssse3";
                                 case Utf8Kernel::kAvx2:
                                     return "avx2";
                                 default:
                                     return "none";
                             }
                         });

TEST_P(Utf8Equivalence, DecodingMatchesTheRulesAtEveryOffsetAndDamageRate) {
    std::mt19937 random(2024);
    for (unsigned damage : {0u, 1u, 5u, 30u}) {
        for (int round = 0; round < 400; ++round) {
            const std::string body = RandomUtf8(random, 1 + random() % 300, damage);
            // Every start offset within a block, so that each byte meets each lane.
            const std::string bytes = std::string(round % 17, 'x') + body;
            ASSERT_EQ(NarrowToWide(bytes, kCodePageUtf8), DecodeTerminated(bytes))
                << "damage " << damage << " round " << round;

            std::vector<char16_t> out(bytes.size() + 8, kSentinel);
            const std::size_t written =
                DecodeUtf8(bytes.data(), bytes.size(), out.data(), out.size());
            ASSERT_EQ(std::u16string(out.data(), written), Decode(bytes))
                << "damage " << damage << " round " << round;
        }
    }
}

TEST_P(Utf8Equivalence, ShortOutputStopsAtTheSameSequenceAndWritesNothingBeyond) {
    std::mt19937 random(77);
    for (int round = 0; round < 300; ++round) {
        const std::string bytes = RandomUtf8(random, 20 + random() % 120, round % 3 == 0 ? 5 : 0);
        const std::size_t full = Decode(bytes).size();
        for (std::size_t capacity : {std::size_t{0}, std::size_t{1}, full / 3, full / 2,
                                     full == 0 ? 0 : full - 1, full, full + 1}) {
            std::vector<char16_t> out(capacity + 24, kSentinel);
            const std::size_t written =
                DecodeUtf8(bytes.data(), bytes.size(), out.data(), capacity);
            ASSERT_EQ(std::u16string(out.data(), written), Decode(bytes, capacity))
                << "round " << round << " capacity " << capacity;
            for (std::size_t k = written; k < out.size(); ++k)
                ASSERT_EQ(out[k], kSentinel) << "round " << round << " unit " << k;
        }
    }
}

TEST_P(Utf8Equivalence, TwoByteBlocksWithALeadInTheLastPlace) {
    // Sixteen-byte blocks whose last byte is a lead: its continuation is the
    // seventeenth byte, and the next block starts after it.
    for (std::size_t ascii = 0; ascii < 17; ++ascii) {
        std::string bytes(ascii, 'a');
        while (bytes.size() < 80)
            bytes += "\xD8\xB3";  // U+0633
        bytes += "z";
        std::u16string expected(ascii, u'a');
        expected.append((80 - ascii + 1) / 2, u'\u0633');
        expected.push_back(u'z');
        EXPECT_EQ(NarrowToWide(bytes, kCodePageUtf8), expected) << ascii;
    }
}

TEST_P(Utf8Equivalence, ZeroInsideABlockEndsTheText) {
    for (std::size_t at = 0; at < 40; ++at) {
        std::string bytes;
        for (int k = 0; k < 24; ++k)
            bytes += k % 3 == 0 ? "b" : "\xC3\xA9";
        const std::string withZero = bytes.substr(0, at) + std::string(1, '\0') + bytes.substr(at);
        const std::string withOverlong = bytes.substr(0, at) + "\xC0\x80" + bytes.substr(at);
        EXPECT_EQ(NarrowToWide(withZero, kCodePageUtf8), DecodeTerminated(withZero)) << at;
        EXPECT_EQ(NarrowToWide(withOverlong, kCodePageUtf8), DecodeTerminated(withOverlong)) << at;
    }
}

TEST_P(Utf8Equivalence, EncodingMatchesTheRulesAtEveryOffsetAndDamageRate) {
    std::mt19937 random(4048);
    for (unsigned damage : {0u, 2u, 20u}) {
        for (int round = 0; round < 400; ++round) {
            const std::u16string text =
                std::u16string(round % 9, u'q') + RandomUtf16(random, 1 + random() % 300, damage);
            ASSERT_EQ(WideToNarrow(text, kCodePageUtf8), Encode(text))
                << "damage " << damage << " round " << round;
        }
    }
}

TEST_P(Utf8Equivalence, ShortEncodingBufferStopsAtTheSameSequenceAndWritesNothingBeyond) {
    std::mt19937 random(99);
    for (int round = 0; round < 300; ++round) {
        const std::u16string text =
            RandomUtf16(random, 10 + random() % 100, round % 4 == 0 ? 5 : 0);
        const std::size_t full = Encode(text).size();
        for (std::size_t capacity : {std::size_t{0}, std::size_t{2}, full / 3, full / 2,
                                     full == 0 ? 0 : full - 1, full, full + 3}) {
            std::vector<char> out(capacity + 24, kByteSentinel);
            const std::size_t written = EncodeUtf8(text.data(), text.size(), out.data(), capacity);
            ASSERT_EQ(std::string(out.data(), written), Encode(text, capacity))
                << "round " << round << " capacity " << capacity;
            for (std::size_t k = written; k < out.size(); ++k)
                ASSERT_EQ(out[k], kByteSentinel) << "round " << round << " byte " << k;
        }
    }
}

TEST_P(Utf8Equivalence, AStopRightAfterABlockLeavesTheRestOfTheBufferAlone) {
    // A block that ends in a two-byte sequence's continuation byte, then a
    // sequence cut short by the end of the input.
    const std::string bytes = std::string(14, 'a') + "\xC3\xA9" + "\xE4\xB8";
    std::vector<char16_t> wide(40, kSentinel);
    const std::size_t decoded = DecodeUtf8(bytes.data(), bytes.size(), wide.data(), wide.size());
    ASSERT_EQ(std::u16string(wide.data(), decoded), std::u16string(14, u'a') + u"\u00E9");
    for (std::size_t k = decoded; k < wide.size(); ++k)
        EXPECT_EQ(wide[k], kSentinel) << k;

    // A block that ends in an ASCII unit, then a sequence that does not fit.
    const std::u16string text = std::u16string(7, u'\u00E9') + u"a\u4E2D";
    std::vector<char> narrow(40, kByteSentinel);
    const std::size_t encoded = EncodeUtf8(text.data(), text.size(), narrow.data(), 17);
    ASSERT_EQ(encoded, 15u);
    for (std::size_t k = encoded; k < narrow.size(); ++k)
        EXPECT_EQ(narrow[k], kByteSentinel) << k;
}

TEST_P(Utf8Equivalence, EveryCodeUnitInEveryPlaceOfABlock) {
    // Each code unit alone and at each of the eight places of a block of
    // ASCII and two-byte neighbours, both ways.
    for (std::uint32_t unit = 0; unit <= 0xFFFF; unit += (unit < 0x900 ? 1 : 61)) {
        for (std::size_t place = 0; place < 8; ++place) {
            std::u16string text = u"a\u00E9b\u0633c\u07FFde\u00FCfg";
            text.insert(text.begin() + static_cast<std::ptrdiff_t>(place),
                        static_cast<char16_t>(unit));
            const std::string expected = Encode(text);
            ASSERT_EQ(WideToNarrow(text, kCodePageUtf8), expected) << unit << " at " << place;
            ASSERT_EQ(NarrowToWide(expected, kCodePageUtf8), DecodeTerminated(expected))
                << unit << " at " << place;
        }
    }
}

TEST_P(Utf8Equivalence, TwoByteSequencesAcrossEveryBlockBoundary) {
    // The prefix shifts the pattern so that a lead sits in every place of a
    // block, the last one included (its continuation byte opens the next).
    for (std::size_t prefix = 0; prefix < 72; ++prefix) {
        for (const char* pattern :
             {"\xC3\xA9", "a\xC3\xA9", "ab\xC3\xA9", "\xD8\xB3 ", "abcdefg\xDF\xBF"}) {
            std::string bytes(prefix, 'x');
            while (bytes.size() < 140)
                bytes += pattern;
            EXPECT_TRUE(DecodesLikeTheRules(bytes)) << prefix << " " << pattern;
            EXPECT_EQ(WideToNarrow(NarrowToWide(bytes, kCodePageUtf8), kCodePageUtf8), bytes)
                << prefix << " " << pattern;
        }
    }
}

TEST_P(Utf8Equivalence, EveryByteAtEveryPlaceOfTwoByteText) {
    // Whatever lands in a block of ASCII and two-byte sequences (a lead
    // without its continuation, a stray continuation, a longer lead, a zero,
    // the C0 of an over-long zero) must decode as the rules say.
    const std::string base = TwoByteBytes(150, 5);
    for (int byte : {0x00, 0x01, 0x41, 0x7F, 0x80, 0x9F, 0xBF, 0xC0, 0xC1, 0xC2, 0xDF, 0xE0, 0xED,
                     0xEF, 0xF0, 0xF4, 0xF8, 0xFC, 0xFF}) {
        for (std::size_t place = 0; place <= base.size(); ++place) {
            std::string inserted = base;
            inserted.insert(place, 1, static_cast<char>(byte));
            ASSERT_TRUE(DecodesLikeTheRules(inserted)) << "insert " << byte << " at " << place;
            if (place == base.size())
                continue;
            std::string replaced = base;
            replaced[place] = static_cast<char>(byte);
            ASSERT_TRUE(DecodesLikeTheRules(replaced)) << "replace " << byte << " at " << place;
        }
    }
}

TEST_P(Utf8Equivalence, ZeroAndOverLongZeroAtEveryPlaceOfALongRun) {
    // C0 80 ends the text like a zero byte; C0 81 and C1 BF do not.
    const std::string base = TwoByteBytes(120, 6);
    for (const std::string& insert :
         {std::string(1, '\0'), std::string("\xC0\x80"), std::string("\xC0\x81"),
          std::string("\xC1\xBF"), std::string("a\0\xC3\xA9")}) {
        for (std::size_t place = 0; place <= base.size(); ++place) {
            std::string bytes = base;
            bytes.insert(place, insert);
            ASSERT_TRUE(DecodesLikeTheRules(bytes)) << place;
        }
    }
}

TEST_P(Utf8Equivalence, TruncatedSequencesAtTheEndOfLongText) {
    // A last sequence short of its bytes: DecodeUtf8 stops before it, and
    // NarrowToWide lets the terminating zero stand for one missing
    // continuation byte.
    // Also long tails that give fewer code units than a block has spare
    // places: the spare places of the last block must not show.
    std::string dense;
    while (dense.size() < 140)
        dense += "\xC3\xA9";
    for (const std::string& text : {TwoByteBytes(140, 7), dense}) {
        for (std::size_t length = 16; length < 130; ++length) {
            for (const char* tail : {"", "\xC3", "\xDF", "\xE4", "\xE4\xB8", "\xF0", "\xF0\x9F",
                                     "\xF0\x9F\x98", "\xF8\x88\x80\x80", "\xFC\x80\x80\x80\x80",
                                     "\xC3\xA9\xC3", "\xFC\x80\x80\x80\x80\x80\xFC\x80\x80\x80\x80",
                                     "\xF8\x88\x80\x80\x80\xF0\x9F\x98"}) {
                // Cutting the text may itself leave a lead without its continuation.
                ASSERT_TRUE(DecodesLikeTheRules(text.substr(0, length) + tail))
                    << length << " " << tail;
            }
        }
    }
}

TEST_P(Utf8Equivalence, EveryOutputRoomAfterTwoByteBlocks) {
    const std::string bytes =
        TwoByteBytes(160, 8) + "\xD8\xB3\xD8\xB3 \xE4\xB8\xAD" + TwoByteBytes(40, 9);
    const std::u16string text = Decode(bytes);
    for (std::size_t capacity = 0; capacity <= text.size() + 1; ++capacity) {
        std::vector<char16_t> out(capacity + 40, kSentinel);
        const std::size_t written = DecodeUtf8(bytes.data(), bytes.size(), out.data(), capacity);
        ASSERT_EQ(std::u16string(out.data(), written), Decode(bytes, capacity)) << capacity;
        for (std::size_t k = written; k < out.size(); ++k)
            ASSERT_EQ(out[k], kSentinel) << "capacity " << capacity << " unit " << k;
    }
    for (std::size_t capacity = 0; capacity <= bytes.size() + 1; ++capacity) {
        std::vector<char> out(capacity + 64, kByteSentinel);
        const std::size_t written = EncodeUtf8(text.data(), text.size(), out.data(), capacity);
        ASSERT_EQ(std::string(out.data(), written), Encode(text, capacity)) << capacity;
        for (std::size_t k = written; k < out.size(); ++k)
            ASSERT_EQ(out[k], kByteSentinel) << "capacity " << capacity << " byte " << k;
    }
}

TEST_P(Utf8Equivalence, EveryUnitAtEveryPlaceOfTwoByteText) {
    // Units on either side of each block test: 7F/80 (one or two bytes),
    // 7FF/800 (two or three), surrogates alone or paired.
    const std::u16string base = TwoByteText(100, 10);
    for (char16_t unit :
         {u'\0', u'\u007F', u'\u0080', u'\u07FF', u'\u0800', u'\uD7FF', char16_t{0xD800},
          char16_t{0xDBFF}, char16_t{0xDC00}, char16_t{0xDFFF}, u'\uFFFF'}) {
        for (std::size_t place = 0; place < base.size(); ++place) {
            std::u16string replaced = base;
            replaced[place] = unit;
            ASSERT_TRUE(EncodesLikeTheRules(replaced)) << unsigned{unit} << " at " << place;
        }
    }
    for (std::size_t place = 0; place <= base.size(); ++place) {
        std::u16string paired = base;
        paired.insert(place, u"\U0001F600");
        ASSERT_TRUE(EncodesLikeTheRules(paired)) << place;
    }
}

TEST_P(Utf8Equivalence, DenseMixesOfOneAndTwoByteSequences) {
    // Each sequence ASCII or two bytes at even odds: every pattern of
    // sequence starts within a block turns up.
    std::mt19937 random(31337);
    for (int round = 0; round < 600; ++round) {
        std::u16string text(round % 40, u'q');
        const std::size_t length = text.size() + 32 + random() % 200;
        while (text.size() < length) {
            text.push_back(random() % 2 ? static_cast<char16_t>(0x80 + random() % 0x780)
                                        : static_cast<char16_t>(random() % 0x80));
        }
        ASSERT_TRUE(EncodesLikeTheRules(text)) << round;
        ASSERT_TRUE(DecodesLikeTheRules(Encode(text))) << round;
    }
}

TEST(Utf8Kernels, OnlyKernelsTheProcessorHasCanBeSelected) {
    const Utf8Kernel before = ActiveUtf8Kernel();
    EXPECT_TRUE(Utf8KernelSupported(before));
    ASSERT_TRUE(SelectUtf8Kernel(Utf8Kernel::kNone));
    EXPECT_EQ(ActiveUtf8Kernel(), Utf8Kernel::kNone);
    for (Utf8Kernel kernel : {Utf8Kernel::kSsse3, Utf8Kernel::kAvx2}) {
        EXPECT_EQ(SelectUtf8Kernel(kernel), Utf8KernelSupported(kernel));
        EXPECT_EQ(ActiveUtf8Kernel(), Utf8KernelSupported(kernel) ? kernel : Utf8Kernel::kNone);
        SelectUtf8Kernel(Utf8Kernel::kNone);
    }
    EXPECT_TRUE(SelectUtf8Kernel(before));
}

}  // namespace
