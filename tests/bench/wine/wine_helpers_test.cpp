// The helpers behind the per-chunk figures under Wine: the bare client must
// replay exactly what the engine sent, the checks between runs must notice any
// change, and the results must reach the report as Google Benchmark writes them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backend/http_transport.h"
#include "bench/bare_client.h"
#include "bench/engine_harness.h"
#include "bench/wine/bench_json.h"
#include "bench/wine/bench_options.h"
#include "bench/wine/process_times.h"
#include "bench/wine/request_replay.h"
#include "bench/sample_chunks.h"
#include "bench/wine/server_registration.h"
#include "tools/backend/test_backend.h"

namespace {

using test_backend::RecordedRequest;

RecordedRequest Request(std::string head, std::string body) {
    RecordedRequest request = test_backend::ParseRequestHead(std::move(head));
    request.body = std::move(body);
    return request;
}

// The engine's requests for `chunks`, sent by a job in this process to a back
// end of its own, then replayed by the bare client to a second back end.
struct ReplayedJob {
    std::vector<RecordedRequest> engine;
    std::vector<RecordedRequest> bareClient;
    std::vector<std::optional<std::string>> answers;
};

ReplayedJob RunAndReplay(const std::vector<std::u16string>& chunks) {
    ReplayedJob result;
    {
        test_backend::TestBackend backend(0);
        SetBackendPortForTesting(backend.Port());
        bench::Apartment apartment;
        ComPtr<IQNSTranslationEngine> engine = bench::CreateEngine();
        EXPECT_TRUE(engine);
        if (engine) {
            const UniqueBstr options = CopyToBstr(bench::kArabicToEnglish);
            EXPECT_TRUE(bench::RunJob(*engine.get(), options.get(), chunks));
        }
        SetBackendPortForTesting(0);
        backend.Stop();
        result.engine = backend.Requests();
    }
    test_backend::TestBackend backend(0);
    for (const std::string& bytes : bench::WireBytes(result.engine)) {
        result.answers.push_back(bench::BareExchange(backend.Port(), bytes));
    }
    backend.Stop();
    result.bareClient = backend.Requests();
    return result;
}

// The comparison is only fair if the back end cannot tell the bare client
// from the engine: same head (the system HTTP client's own headers included)
// and same body, for chunks of several lengths.
TEST(WineReplay, TheBareClientSendsTheEnginesRequestsByteForByte) {
    const std::vector<std::u16string> chunks = {u"\u0645\u0631\u062D\u0628\u0627 & 7",
                                                bench::JobChunks()[0], bench::JobChunks()[999],
                                                std::u16string(3000, u'\u0648')};
    const ReplayedJob job = RunAndReplay(chunks);

    ASSERT_EQ(job.engine.size(), chunks.size());
    for (const RecordedRequest& request : job.engine) {
        EXPECT_TRUE(bench::IsWholeHttp10Post(request)) << request.head;
    }
    EXPECT_EQ(bench::Difference(job.engine, job.bareClient), std::nullopt);
    ASSERT_EQ(job.answers.size(), chunks.size());
    EXPECT_EQ(job.answers[0], std::optional<std::string>("hello <unk> & </unk> <unk> 7 </unk>"));
    for (const auto& answer : job.answers) {
        EXPECT_TRUE(answer.has_value() && !answer->empty());
    }
}

TEST(WineReplay, DifferenceNamesWhatChanged) {
    const std::string head = "POST /a HTTP/1.0\r\nHost: localhost:1\r\nContent-Length: 3\r\n\r\n";
    const std::vector<RecordedRequest> expected = {Request(head, "abc"), Request(head, "def")};
    struct Case {
        const char* what;
        std::vector<RecordedRequest> actual;
        std::string mention;  // empty: no difference
    };
    const std::string otherHead =
        "POST /a HTTP/1.0\r\nHost: localhost:2\r\nContent-Length: 3\r\n\r\n";
    const std::vector<Case> cases = {
        {"equal", {Request(head, "abc"), Request(head, "def")}, ""},
        {"one missing", {Request(head, "abc")}, "1 requests arrived, 2 expected"},
        {"other head",
         {Request(head, "abc"), Request(otherHead, "def")},
         "request 1 has another head"},
        {"other body", {Request(head, "abc"), Request(head, "deF")}, "request 1 has another body"},
        {"swapped", {Request(head, "def"), Request(head, "abc")}, "request 0 has another body"},
    };
    for (const Case& c : cases) {
        const std::optional<std::string> difference = bench::Difference(expected, c.actual);
        if (c.mention.empty()) {
            EXPECT_EQ(difference, std::nullopt) << c.what;
        } else {
            ASSERT_TRUE(difference.has_value()) << c.what;
            EXPECT_NE(difference->find(c.mention), std::string::npos)
                << c.what << ": " << *difference;
        }
    }
}

TEST(WineReplay, OnlyAWholeHttp10PostPasses) {
    struct Case {
        const char* head;
        const char* body;
        bool whole;
    };
    const Case cases[] = {
        {"POST /x HTTP/1.0\r\nContent-Length: 2\r\n\r\n", "ab", true},
        {"POST /x HTTP/1.0\r\ncontent-length: 0\r\n\r\n", "", true},
        {"POST /x HTTP/1.1\r\nContent-Length: 2\r\n\r\n", "ab", false},
        {"GET /x HTTP/1.0\r\nContent-Length: 2\r\n\r\n", "ab", false},
        {"POST /x HTTP/1.0\r\nContent-Length: 3\r\n\r\n", "ab", false},
        {"POST /x HTTP/1.0\r\n\r\n", "ab", false},
        {"POST HTTP/1.0\r\n\r\n", "", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(bench::IsWholeHttp10Post(Request(c.head, c.body)), c.whole) << c.head;
    }
}

// The report takes items_per_second for the time per chunk and real_time with
// cpu_time (in time_unit) for the CPU per chunk: both must follow from the run.
TEST(WineResults, JsonCarriesEveryFieldTheReportReads) {
    bench::TimedRun good;
    good.name = "wine32/per_chunk/server/job_1000_chunks";
    good.repetitionIndex = 1;
    good.repetitions = 3;
    good.realSeconds = 0.5;
    good.cpuSeconds = 0.25;
    good.items = 1000;
    bench::TimedRun failed = good;
    failed.name = "wine32/per_chunk/bare_client/job_1000_chunks";
    failed.error = "request 3 has another head:\r\n\"x\"";

    const std::string json = bench::ToBenchmarkJson({good, failed}, {{"host_bits", "32"}});
    const std::string first = json.substr(0, json.find("wine32/per_chunk/bare_client"));
    for (const char* field : {"\"run_name\": \"wine32/per_chunk/server/job_1000_chunks\"",
                              "\"run_type\": \"iteration\"", "\"repetitions\": 3",
                              "\"repetition_index\": 1", "\"real_time\": 500", "\"cpu_time\": 250",
                              "\"time_unit\": \"ms\"", "\"items_per_second\": 2000"}) {
        EXPECT_NE(first.find(field), std::string::npos) << field << "\n" << json;
    }
    EXPECT_EQ(first.find("error_occurred"), std::string::npos);
    EXPECT_NE(json.find("\"error_occurred\": true"), std::string::npos);
    EXPECT_NE(json.find("\"error_message\": \"request 3 has another head:\\r\\n\\\"x\\\"\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"context\": {\n    \"host_bits\": \"32\"\n  }"), std::string::npos);
}

TEST(WineResults, JsonStringsEscapeWhatJsonForbids) {
    const struct {
        std::string text;
        std::string literal;
    } cases[] = {
        {"plain", "\"plain\""},       {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"\t\n\r", "\"\\t\\n\\r\""},  {std::string("\x01\x1f", 2), "\"\\u0001\\u001f\""},
        {"\xC3\xA9", "\"\xC3\xA9\""},  // UTF-8 passes as it is
    };
    for (const auto& c : cases) {
        EXPECT_EQ(bench::JsonString(c.text), c.literal);
    }
}

TEST(WineProcesses, PathsAndNames) {
    EXPECT_EQ(bench::WindowsPath("/work/a b/x.exe"), "Z:\\work\\a b\\x.exe");
    EXPECT_EQ(bench::WindowsPath("C:\\x\\y.exe"), "C:\\x\\y.exe");
    EXPECT_EQ(bench::WindowsPath("y.exe"), "y.exe");
    EXPECT_EQ(bench::FileNameOf("/work/build/Vorla Hybrid Engine.exe"), "Vorla Hybrid Engine.exe");
    EXPECT_EQ(bench::FileNameOf("Z:\\b\\c.exe"), "c.exe");
    EXPECT_EQ(bench::FileNameOf("c.exe"), "c.exe");
}

// The CPU figure of the out-of-process runs adds the server's times to ours:
// a process found by its file name must report them, one not running must not.
TEST(WineProcesses, FindsProcessesByFileNameAndReadsTheirTimes) {
    char path[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
    const std::string self = bench::FileNameOf(path);

    const bench::NamedProcesses running(self);
    EXPECT_GE(running.Count(), 1u);
    const std::optional<double> cpu = running.CpuSeconds();
    ASSERT_TRUE(cpu.has_value());
    EXPECT_GE(*cpu, 0.0);
    EXPECT_GE(bench::CountProcesses(self), 1u);

    const bench::NamedProcesses absent("no such program here.exe");
    EXPECT_EQ(absent.Count(), 0u);
    EXPECT_EQ(absent.CpuSeconds(), std::nullopt);
    EXPECT_EQ(bench::CountProcesses("no such program here.exe"), 0u);
}

TEST(WineProcesses, RunWithSwitchGivesTheExitCodeOrMinusOne) {
    char system[MAX_PATH] = {};
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
    EXPECT_EQ(bench::RunWithSwitch(std::string(system) + "\\cmd.exe", "/c exit 3"), 3);
    EXPECT_EQ(bench::RunWithSwitch("Z:\\no\\such\\server.exe", "/RegServer"), -1);
    bench::ServerRegistration missing("Z:\\no\\such\\server.exe");
    EXPECT_FALSE(missing.Registered());
}

}  // namespace

namespace {

std::vector<std::string> Words(std::initializer_list<const char*> words) {
    return std::vector<std::string>(words.begin(), words.end());
}

TEST(WineOptions, AcceptsEveryOptionAndKeepsTheDefaults) {
    std::string problem;
    const auto full = bench::ParseBenchOptions(
        Words({"--server", "/b/s.exe", "--repetitions", "7", "--filter", "job|call", "--out",
               "/r/x.json", "--prefix", "wine64_x64"}),
        problem);
    ASSERT_TRUE(full.has_value()) << problem;
    EXPECT_EQ(full->server, "/b/s.exe");
    EXPECT_EQ(full->repetitions, 7);
    EXPECT_EQ(full->out, "/r/x.json");
    EXPECT_EQ(full->prefix, "wine64_x64");
    EXPECT_TRUE(bench::Selected(*full, "wine32/per_chunk/server/job_1000_chunks"));
    EXPECT_TRUE(bench::Selected(*full, "wine32/per_chunk/server/empty_call_1000_calls"));
    EXPECT_FALSE(bench::Selected(*full, "wine32/per_chunk/bare_client/exchanges"));

    const auto plain = bench::ParseBenchOptions(Words({"--server", "C:\\s.exe"}), problem);
    ASSERT_TRUE(plain.has_value()) << problem;
    EXPECT_EQ(plain->repetitions, 3);
    EXPECT_TRUE(plain->out.empty());
    EXPECT_TRUE(plain->prefix.empty());
    EXPECT_TRUE(bench::Selected(*plain, "anything at all"));
}

// A mistyped command line must stop the run with a reason, never run with a
// silently different setting (no repetitions at all, or every benchmark).
TEST(WineOptions, RefusesWhatItCannotUse) {
    const struct {
        std::vector<std::string> arguments;
        const char* mention;
    } cases[] = {
        {Words({}), "--server PATH is required"},
        {Words({"--repetitions", "2"}), "--server PATH is required"},
        {Words({"--server"}), "--server needs a value"},
        {Words({"--server", "s.exe", "--out"}), "--out needs a value"},
        {Words({"--server", "s.exe", "--prefix", "a/b"}), "--prefix"},
        {Words({"--server", "s.exe", "--repetitions", "0"}), "--repetitions"},
        {Words({"--server", "s.exe", "--repetitions", "-3"}), "--repetitions"},
        {Words({"--server", "s.exe", "--repetitions", "2x"}), "--repetitions"},
        {Words({"--server", "s.exe", "--repetitions", "1001"}), "--repetitions"},
        {Words({"--server", "s.exe", "--repetitions", "99999999999"}), "--repetitions"},
        {Words({"--server", "s.exe", "--filter", "job("}), "not a regular expression"},
        {Words({"--server", "s.exe", "--no-wine", "x"}), "unknown argument: --no-wine"},
        {Words({"s.exe"}), "unknown argument: s.exe"},
    };
    for (const auto& c : cases) {
        std::string problem;
        EXPECT_FALSE(bench::ParseBenchOptions(c.arguments, problem).has_value()) << c.mention;
        EXPECT_NE(problem.find(c.mention), std::string::npos) << c.mention << ": " << problem;
    }
}

}  // namespace
