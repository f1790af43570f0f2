// Many clients at once against one engine (activated in this process) and one
// back end: every job completes with the right markup, the back end never
// sees two requests at the same time, and memory returns to where it was.
#include <gtest/gtest.h>

#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "backend/http_transport.h"
#include "platform/com_ptr.h"
#include "platform/com_server.h"
#include "platform/registry.h"
#include "server/exe_module.h"
#include "server/guids.h"
#include "server/registration.h"
#include "tests/faults/engine_driver.h"
#include "tests/load/load_jobs.h"
#include "tests/load/recording_relay.h"
#include "tools/backend/test_backend.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QN_LOAD_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define QN_LOAD_SANITIZED 1
#endif
#endif

namespace {

constexpr int kClients = 8;
constexpr int kJobsPerClient = 100;
constexpr char16_t kProgId[] = u"QNDravikHybridTranslationEngine.TranslationEngine.1";

struct Memory {
    std::size_t heapInUse = 0;  // bytes handed out by malloc, every arena
    std::size_t resident = 0;   // bytes of the process in RAM
};

Memory Measure() {
    malloc_trim(0);  // what is free goes back, so residency shows what is held
    const struct mallinfo2 info = mallinfo2();
    Memory memory;
    memory.heapInUse = info.uordblks + info.hblkhd;
    std::ifstream statm("/proc/self/statm");
    std::size_t size = 0;
    std::size_t pages = 0;
    statm >> size >> pages;
    memory.resident = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return memory;
}

// A back end and the relay in front of it that watches the exchanges.
struct Backend {
    test_backend::TestBackend server;
    load::RecordingRelay relay{0, server.Port()};
    Backend() { SetBackendPortForTesting(relay.Port()); }
    ~Backend() {
        relay.Stop();
        server.Stop();
        SetBackendPortForTesting(0);
    }
};

class NativeLoad : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // One allocator arena for every thread: otherwise the allocator adds
        // arenas as contention shows up, and their bookkeeping would blur the
        // figures.
        mallopt(M_ARENA_MAX, 1);
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        store_ = std::filesystem::temp_directory_path() /
                 ("qn-load-" + std::to_string(::getpid()) + ".reg");
        ::setenv(kRegistryFileVariable, store_.c_str(), 1);
        ASSERT_EQ(server::RegisterServer(), S_OK);
        ASSERT_EQ(server::Module().RegisterClassObjects(), S_OK);
    }
    static void TearDownTestSuite() {
        server::Module().RevokeClassObjects();
        server::UnregisterServer();
        for (const char* suffix : {"", ".lock"}) {
            std::filesystem::remove(store_.string() + suffix);
        }
        ::unsetenv(kRegistryFileVariable);
        CoUninitialize();
    }

    // Each client activates its engine by ProgID, as a host would, and runs
    // its jobs one after another; all clients run at once. Returns the
    // problems found, one line each.
    static std::vector<std::string> RunClients(int jobsPerClient) {
        CLSID clsid{};
        EXPECT_EQ(CLSIDFromProgID(ToPlatform(kProgId), &clsid), S_OK);
        std::vector<ComPtr<IQNSTranslationEngine>> engines(kClients);
        for (auto& engine : engines) {
            EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER,
                                       kIidIQNSTranslationEngine, engine.put_void()),
                      S_OK);
        }
        std::mutex problemsMutex;
        std::vector<std::string> problems;
        std::vector<std::thread> clients;
        for (int client = 0; client < kClients; ++client) {
            clients.emplace_back([&, client] {
                for (int index = 0; index < jobsPerClient; ++index) {
                    const load::Job job = load::MakeJob(client, index);
                    const faults::JobOutcome outcome = faults::RunGuardedJob(
                        engines[client].get(), faults::PairOptions(u"ar", u"en"), job.chunks);
                    std::string problem = load::CheckJob(job, outcome.chunks, outcome.completions);
                    if (!problem.empty() || outcome.result != S_OK) {
                        std::lock_guard<std::mutex> guard(problemsMutex);
                        problems.push_back("client " + std::to_string(client) + " job " +
                                           std::to_string(index) + ": " + problem);
                    }
                }
            });
        }
        for (std::thread& client : clients) {
            client.join();
        }
        return problems;
    }

    static std::size_t ExchangesFor(int jobsPerClient) {
        std::size_t exchanges = 0;
        for (int index = 0; index < jobsPerClient; ++index) {
            exchanges += load::MakeJob(0, index).chunks.size();
        }
        return exchanges * kClients;
    }

    static inline std::filesystem::path store_;
};

TEST_F(NativeLoad, EightClientsOfAHundredJobsRunOneAfterAnotherAndGiveMemoryBack) {
    // A first round settles what the process keeps for good: allocator arenas
    // of the threads, cached thread stacks, the engine's one-time tables.
    {
        Backend warmUp;
        ASSERT_EQ(RunClients(10), std::vector<std::string>{});
    }
    const Memory before = Measure();

    const auto start = std::chrono::steady_clock::now();
    std::size_t exchanges = 0;
    std::size_t overlapping = 0;
    std::size_t unanswered = 0;
    {
        Backend backend;
        const std::vector<std::string> problems = RunClients(kJobsPerClient);
        EXPECT_EQ(problems, std::vector<std::string>{});
        backend.relay.Stop();
        for (const load::ExchangeMarks& marks : backend.relay.Exchanges()) {
            unanswered += marks.answered ? 0 : 1;
        }
        exchanges = backend.relay.Exchanges().size();
        overlapping = backend.relay.OverlappingPairs();
        EXPECT_EQ(backend.server.RequestCount(), exchanges);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const Memory after = Measure();

    EXPECT_EQ(exchanges, ExchangesFor(kJobsPerClient));
    EXPECT_EQ(unanswered, 0u);
    EXPECT_EQ(overlapping, 0u) << "the back end saw requests at the same time";

    std::cout << "load: " << kClients << " clients x " << kJobsPerClient << " jobs, " << exchanges
              << " exchanges in " << seconds << " s; heap in use " << before.heapInUse << " -> "
              << after.heapInUse << " bytes; resident " << before.resident << " -> "
              << after.resident << " bytes\n";
#ifndef QN_LOAD_SANITIZED
    // The process's memory within a few percent of where it was. The heap is
    // small, so it gets a bound of its own: less than one allocation's worth
    // per job (the smallest block the allocator hands out is 32 bytes), which
    // any leak of a job would break. The sanitizers keep freed memory in
    // quarantine and find leaks themselves.
    EXPECT_LE(after.resident, before.resident + before.resident / 20);
    const std::size_t jobs = std::size_t{kClients} * kJobsPerClient;
    EXPECT_LT(after.heapInUse, before.heapInUse + 24 * jobs);
#endif
}

}  // namespace
