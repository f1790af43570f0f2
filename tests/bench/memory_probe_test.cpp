#include "bench/memory_probe.h"

#include <gtest/gtest.h>

#include <string>

#include "backend/http_transport.h"
#include "bench/child_process.h"
#include "bench/echo_backend.h"
#include "tools/backend/test_backend.h"

namespace {

TEST(MemoryProbe, ResultLineRoundTripsAndJunkIsRefused) {
    const bench::ProbeResult result{123456789012u, 2048u};
    const auto parsed = bench::ParseProbeResult(bench::FormatProbeResult(result) + "\n");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->peakDeltaBytes, result.peakDeltaBytes);
    EXPECT_EQ(parsed->textBytes, result.textBytes);

    for (const char* junk :
         {"", "probe failed: no engine", "peak_delta_bytes=12",
          "text_bytes=4 peak_delta_bytes=", "xpeak_delta_bytes=1 text_bytes=2"}) {
        EXPECT_EQ(bench::ParseProbeResult(junk), std::nullopt) << junk;
    }
}

TEST(MemoryProbe, MeasuresOneCallAndSaysSoWhenItCannot) {
    bench::EchoBackend backend;
    testing::internal::CaptureStdout();
    const int code = bench::RunPeakMemoryProbe(std::size_t{1} << 20, backend.Port());
    const std::string output = testing::internal::GetCapturedStdout();
    ASSERT_EQ(code, 0) << output;
    const auto result = bench::ParseProbeResult(output);
    ASSERT_TRUE(result.has_value()) << output;
    EXPECT_EQ(result->textBytes, std::size_t{2} << 20);
    // The call holds at least its answer: the text again, as markup.
    EXPECT_GE(result->peakDeltaBytes, result->textBytes);

    // A back end that answers nothing: the text does not come back.
    test_backend::TestBackend silent(0, test_backend::Fault::NotListening);
    testing::internal::CaptureStdout();
    const int failed = bench::RunPeakMemoryProbe(1024, silent.Port());
    const std::string complaint = testing::internal::GetCapturedStdout();
    EXPECT_NE(failed, 0);
    EXPECT_NE(complaint.find("probe failed"), std::string::npos) << complaint;
    SetBackendPortForTesting(0);
}

TEST(ChildProcess, RunsThisProgramAgainAndCollectsItsOutput) {
    const auto child = bench::RunSelf({"--gtest_list_tests", "--gtest_filter=ChildProcess.*"});
    ASSERT_TRUE(child.has_value());
    EXPECT_EQ(child->exitCode, 0);
    EXPECT_NE(child->output.find("RunsThisProgramAgainAndCollectsItsOutput"), std::string::npos)
        << child->output;
}

}  // namespace
