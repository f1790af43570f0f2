#include "bench/peak_memory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

struct StatusCase {
    const char* label;
    std::string text;
    std::optional<bench::MemoryUse> expected;
};

class ParseMemoryUseTest : public testing::TestWithParam<StatusCase> {};

TEST_P(ParseMemoryUseTest, ReadsBothFiguresOrNothing) {
    const auto parsed = bench::ParseMemoryUse(GetParam().text);
    ASSERT_EQ(parsed.has_value(), GetParam().expected.has_value());
    if (parsed) {
        EXPECT_EQ(parsed->residentBytes, GetParam().expected->residentBytes);
        EXPECT_EQ(parsed->peakBytes, GetParam().expected->peakBytes);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseMemoryUseTest,
    testing::Values(
        StatusCase{"usual",
                   "Name:\tbench\nVmPeak:\t  99999 kB\nVmHWM:\t    2048 kB\nVmRSS:\t    1024 kB\n",
                   bench::MemoryUse{1024 * 1024, 2048 * 1024}},
        StatusCase{"last_line_unended", "VmRSS:\t1 kB\nVmHWM:\t2 kB", bench::MemoryUse{1024, 2048}},
        StatusCase{"missing_peak", "VmRSS:\t1024 kB\n", std::nullopt},
        StatusCase{"prefix_only", "VmRSSx:\t1 kB\nVmHWMx:\t2 kB\n", std::nullopt},
        StatusCase{"no_digits", "VmRSS:\t kB\nVmHWM:\t2 kB\n", std::nullopt},
        StatusCase{"other_unit", "VmRSS:\t1 MB\nVmHWM:\t2 kB\n", std::nullopt},
        StatusCase{"absurd", "VmRSS:\t99999999999999999999 kB\nVmHWM:\t2 kB\n", std::nullopt},
        StatusCase{"empty", "", std::nullopt}),
    [](const testing::TestParamInfo<StatusCase>& info) { return info.param.label; });

TEST(PeakMemory, TheMarkRisesWithTouchedMemoryAndCanBeLoweredAgain) {
    ASSERT_TRUE(bench::ResetPeakMemory());
    const auto before = bench::CurrentMemoryUse();
    ASSERT_TRUE(before.has_value());
    EXPECT_GT(before->residentBytes, 0u);
    constexpr std::size_t kBlock = std::size_t{64} << 20;
    {
        std::unique_ptr<char[]> block(new char[kBlock]);
        std::memset(block.get(), 1, kBlock);
        const auto during = bench::CurrentMemoryUse();
        ASSERT_TRUE(during.has_value());
        EXPECT_GE(during->peakBytes, before->residentBytes + kBlock - (kBlock / 8));
    }
    // Back down to what is resident now (the block may or may not have gone
    // back to the system, depending on the allocator).
    ASSERT_TRUE(bench::ResetPeakMemory());
    const auto after = bench::CurrentMemoryUse();
    ASSERT_TRUE(after.has_value());
    EXPECT_LE(after->peakBytes, after->residentBytes + (std::size_t{4} << 20));
}

}  // namespace
