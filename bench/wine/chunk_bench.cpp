// Per-chunk cost of the engine out of process, under Wine: a Translate job of
// 1,000 short chunks through the server created by its ProgID, with this
// host's own source and sink (every ReadChunk and WriteChunk crosses the
// process boundary); the same requests sent by a bare Winsock client in this
// process; and TranslateText one call at a time. Three more figures split the
// difference: the engine's HTTP exchanges alone in this process, the same job
// through an engine inside this process, and a call the server answers
// without doing anything. The back end answers at once on
// the server's fixed port. Writes Google Benchmark's JSON for the report.
//
// Usage: bench_wine_chunks --server PATH [--repetitions N] [--filter REGEX] [--out FILE]
//                          [--prefix NAME]
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "backend/http_transport.h"
#include "backend/pipeline_table.h"
#include "bench/bare_client.h"
#include "bench/engine_harness.h"
#include "bench/wine/bench_json.h"
#include "bench/wine/bench_options.h"
#include "bench/wine/process_times.h"
#include "bench/wine/request_replay.h"
#include "bench/sample_chunks.h"
#include "bench/wine/server_registration.h"
#include "platform/unique_bstr.h"
#include "text/code_pages.h"
#include "tools/backend/test_backend.h"
#include "tools/host/engine_activation.h"
#include "tools/host/engine_registry.h"
#include "tools/host/host_objects.h"

namespace {

constexpr char16_t kArabicToEnglish[] =
    u"<t:Option Name=\"SourceLanguage\">ar</t:Option>"
    u"<t:Option Name=\"TranslationLanguage\">en</t:Option>";
// TranslateText calls per measured batch, each on the same chunk.
constexpr std::size_t kCallsPerBatch = 200;
constexpr std::size_t kTextChunk = 7;
// Calls that do nothing in the server, per measured batch: the cost of the
// process boundary alone.
constexpr std::size_t kEmptyCalls = 1000;
constexpr const char* kNamePrefix = sizeof(void*) == 4 ? "wine32" : "wine64";

bool StartsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// A back end on the port the server posts to. Another program that holds the
// port for a moment (a test) is waited for a few seconds; one that keeps it
// ends the run with the back end's message.
std::unique_ptr<test_backend::TestBackend> BackendOnFixedPort() {
    constexpr int kWaitMs = 5000;
    constexpr int kStepMs = 100;
    for (int waited = 0;; waited += kStepMs) {
        try {
            return std::make_unique<test_backend::TestBackend>(kBackendPort);
        } catch (const std::runtime_error&) {
            if (waited >= kWaitMs) {
                throw;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    }
}

// Wall clock and CPU time of this process and of the server, from start to Stop.
class Meter {
  public:
    // `server` may be null: this process only.
    explicit Meter(const bench::NamedProcesses* server)
        : server_(server), hostCpu_(HostCpu()), serverCpu_(ServerCpu()) {
        start_ = std::chrono::steady_clock::now();
    }

    void Stop(bench::TimedRun& run) const {
        const auto end = std::chrono::steady_clock::now();
        run.realSeconds = std::chrono::duration<double>(end - start_).count();
        // A server whose times cannot be read adds nothing.
        const double server = ServerCpu();
        run.cpuSeconds =
            (HostCpu() - hostCpu_) + (server >= serverCpu_ ? server - serverCpu_ : 0.0);
    }

  private:
    static double HostCpu() { return bench::CpuSeconds(GetCurrentProcess()).value_or(0.0); }
    double ServerCpu() const {
        return server_ != nullptr ? server_->CpuSeconds().value_or(0.0) : 0.0;
    }

    const bench::NamedProcesses* server_;
    double hostCpu_;
    double serverCpu_;
    std::chrono::steady_clock::time_point start_;
};

// What a sink saw; shared with the sink, which the server may release late.
struct SinkRecord {
    std::atomic<std::size_t> chunks{0};
    std::atomic<std::size_t> notTranslations{0};
};

class ChunkBench {
  public:
    explicit ChunkBench(ComPtr<IQNSTranslationEngine> engine, const std::string& serverExe)
        : engine_(std::move(engine)),
          options_(CopyToBstr(kArabicToEnglish)),
          server_(bench::FileNameOf(serverExe)) {}

    // The head of the engine's first request, which the bare client replays.
    const std::string& FirstHead() const { return reference_.front().head; }

    // Servers found at activation; the CPU figures count them with this process.
    std::size_t ServerProcesses() const { return server_.Count(); }
    bool ServerCpuKnown() const { return server_.CpuSeconds().has_value(); }

    // One job, not measured, whose requests the bare client replays and every
    // later run is checked against. Empty when it went well.
    std::string Calibrate() {
        std::vector<test_backend::RecordedRequest> requests;
        bench::TimedRun run = Job(&requests);
        if (!run.error.empty()) {
            return run.error;
        }
        for (const auto& request : requests) {
            if (!bench::IsWholeHttp10Post(request)) {
                return "the engine sent a request that is not a whole HTTP/1.0 POST:\n" +
                       request.head;
            }
        }
        reference_ = std::move(requests);
        replay_ = bench::WireBytes(reference_);
        return TranslateTextBatch(1).error;
    }

    // The job through the server.
    bench::TimedRun Job(std::vector<test_backend::RecordedRequest>* keep = nullptr) {
        return Job(*engine_.get(), &server_, keep);
    }

    // The same job through an engine inside this process: the same engine
    // code and system HTTP client, without the process boundary.
    bench::TimedRun InProcessJob() {
        if (!inProcess_) {
            inProcess_ = bench::CreateEngine();
        }
        if (!inProcess_) {
            bench::TimedRun run;
            run.error = "no engine could be made in this process";
            return run;
        }
        return Job(*inProcess_.get(), nullptr, nullptr);
    }

    // The engine's HTTP exchange alone, in this process: the system HTTP
    // client posting each chunk as the engine does, without the job around it.
    bench::TimedRun HttpClient() {
        bench::TimedRun run;
        run.items = bench::kJobChunks;
        const std::string path = PipelinePath(u"ar", u"en");
        std::vector<std::string> bodies;
        for (const std::u16string& chunk : bench::JobChunks()) {
            bodies.push_back(WideToNarrow(chunk, kCodePageUtf8));
        }
        const std::unique_ptr<test_backend::TestBackend> owned = BackendOnFixedPort();
        test_backend::TestBackend& backend = *owned;
        bool ok = true;
        Meter meter(nullptr);
        for (const std::string& body : bodies) {
            try {
                const std::optional<std::string> answer = PostToBackend(path, body);
                ok = ok && answer.has_value() && !answer->empty();
            } catch (const std::exception&) {
                ok = false;
            }
        }
        meter.Stop(run);
        backend.Stop();
        if (!ok) {
            run.error = "an exchange failed";
        } else if (auto difference = bench::Difference(reference_, backend.Requests())) {
            run.error = "the HTTP client's requests are not the engine's: " + *difference;
        }
        return run;
    }

    // A method the server answers without doing anything, called again and again.
    bench::TimedRun EmptyCalls() {
        bench::TimedRun run;
        run.items = kEmptyCalls;
        const UniqueBstr text = CopyToBstr(bench::JobChunks()[kTextChunk]);
        HRESULT failure = S_OK;
        Meter meter(&server_);
        for (std::size_t call = 0; call < kEmptyCalls; ++call) {
            UniqueBstr alternates;
            const HRESULT hr =
                engine_->get_AlternateWords(options_.get(), text.get(), alternates.put());
            if (hr != S_OK) {
                failure = hr;
            }
        }
        meter.Stop(run);
        if (failure != S_OK) {
            run.error = "get_AlternateWords failed with " + host::HresultText(failure);
        }
        return run;
    }

  private:
    bench::TimedRun Job(IQNSTranslationEngine& engine, const bench::NamedProcesses* server,
                        std::vector<test_backend::RecordedRequest>* keep) {
        bench::TimedRun run;
        run.items = bench::kJobChunks;
        const std::unique_ptr<test_backend::TestBackend> owned = BackendOnFixedPort();
        test_backend::TestBackend& backend = *owned;
        auto record = std::make_shared<SinkRecord>();
        auto* sink = new host::MarkupSink([record](std::u16string_view markup) {
            ++record->chunks;
            if (!StartsWith(markup, u"<Translation>")) {
                ++record->notTranslations;
            }
            return true;
        });
        ComPtr<IDispatch> sinkRef = ComPtr<IDispatch>::Retain(sink);
        ComPtr<IDispatch> source =
            ComPtr<IDispatch>::Retain(new host::ChunkSource(bench::JobChunks()));

        Meter meter(server);
        const HRESULT hr = engine.Translate(options_.get(), source.get(), sinkRef.get());
        meter.Stop(run);

        backend.Stop();
        std::vector<test_backend::RecordedRequest> requests = backend.Requests();
        if (hr != S_OK) {
            run.error = "Translate failed with " + host::HresultText(hr);
        } else if (record->chunks != bench::kJobChunks || record->notTranslations != 0 ||
                   sink->Outcome() != std::optional<bool>(true)) {
            run.error = "the job did not translate every chunk (" +
                        std::to_string(record->chunks.load()) + " written, " +
                        std::to_string(record->notTranslations.load()) + " not translations)";
        } else if (!reference_.empty()) {
            if (auto difference = bench::Difference(reference_, requests)) {
                run.error = "the engine's requests changed: " + *difference;
            }
        } else if (requests.size() != bench::kJobChunks) {
            run.error = std::to_string(requests.size()) + " requests for " +
                        std::to_string(bench::kJobChunks) + " chunks";
        }
        if (keep != nullptr) {
            *keep = std::move(requests);
        }
        return run;
    }

  public:
    bench::TimedRun BareClient() {
        bench::TimedRun run;
        run.items = replay_.size();
        const std::unique_ptr<test_backend::TestBackend> owned = BackendOnFixedPort();
        test_backend::TestBackend& backend = *owned;
        bool ok = true;
        Meter meter(nullptr);
        for (const std::string& request : replay_) {
            const std::optional<std::string> answer = bench::BareExchange(kBackendPort, request);
            ok = ok && answer.has_value() && !answer->empty();
        }
        meter.Stop(run);
        backend.Stop();
        if (!ok) {
            run.error = "an exchange failed";
        } else if (auto difference = bench::Difference(reference_, backend.Requests())) {
            run.error = "the bare client's requests are not the engine's: " + *difference;
        }
        return run;
    }

    bench::TimedRun TranslateTextBatch(std::size_t calls = kCallsPerBatch) {
        bench::TimedRun run;
        run.items = calls;
        const std::unique_ptr<test_backend::TestBackend> owned = BackendOnFixedPort();
        test_backend::TestBackend& backend = *owned;
        const UniqueBstr source = CopyToBstr(bench::JobChunks()[kTextChunk]);
        std::size_t translations = 0;
        HRESULT failure = S_OK;
        Meter meter(&server_);
        for (std::size_t call = 0; call < calls; ++call) {
            UniqueBstr markup;
            const HRESULT hr = engine_->TranslateText(options_.get(), source.get(), markup.put());
            if (hr != S_OK) {
                failure = hr;
            } else if (StartsWith(TextViewUpToNul(markup.get()), u"<Translation>")) {
                ++translations;
            }
        }
        meter.Stop(run);
        backend.Stop();
        const std::size_t requests = backend.RequestCount();
        if (failure != S_OK) {
            run.error = "TranslateText failed with " + host::HresultText(failure);
        } else if (translations != calls || requests != calls) {
            run.error = std::to_string(translations) + " translations and " +
                        std::to_string(requests) + " requests for " + std::to_string(calls) +
                        " calls";
        }
        return run;
    }

  private:
    ComPtr<IQNSTranslationEngine> engine_;
    ComPtr<IQNSTranslationEngine> inProcess_;
    UniqueBstr options_;
    bench::NamedProcesses server_;
    std::vector<test_backend::RecordedRequest> reference_;
    std::vector<std::string> replay_;
};

struct Benchmark {
    std::string name;
    std::function<bench::TimedRun(ChunkBench&)> run;
};

// The benchmarks that pass the filter, in a fixed order.
std::vector<Benchmark> Selected(const bench::BenchOptions& options) {
    const std::string prefix = options.prefix.empty() ? kNamePrefix : options.prefix;
    std::vector<Benchmark> benchmarks = {
        {prefix + "/per_chunk/server/job_1000_chunks", [](ChunkBench& b) { return b.Job(); }},
        {prefix + "/per_chunk/bare_client/job_1000_chunks",
         [](ChunkBench& b) { return b.BareClient(); }},
        {prefix + "/per_chunk/server/translate_text_200_calls",
         [](ChunkBench& b) { return b.TranslateTextBatch(); }},
        {prefix + "/per_chunk/http_client/job_1000_chunks",
         [](ChunkBench& b) { return b.HttpClient(); }},
        {prefix + "/per_chunk/in_process/job_1000_chunks",
         [](ChunkBench& b) { return b.InProcessJob(); }},
        {prefix + "/per_chunk/server/empty_call_1000_calls",
         [](ChunkBench& b) { return b.EmptyCalls(); }},
    };
    std::erase_if(benchmarks, [&](const Benchmark& benchmark) {
        return !bench::Selected(options, benchmark.name);
    });
    return benchmarks;
}

void PrintRun(const bench::TimedRun& run) {
    if (!run.error.empty()) {
        std::fprintf(stderr, "%-52s ERROR: %s\n", run.name.c_str(), run.error.c_str());
        return;
    }
    const double items = static_cast<double>(run.items);
    std::fprintf(stderr, "%-52s %9.1f ms  %9.1f ms CPU  %7.1f us/item  %7.1f us CPU/item\n",
                 run.name.c_str(), run.realSeconds * 1e3, run.cpuSeconds * 1e3,
                 run.realSeconds * 1e6 / items, run.cpuSeconds * 1e6 / items);
}

bool WriteResults(const bench::BenchOptions& options, const std::vector<bench::TimedRun>& runs,
                  const std::vector<std::pair<std::string, std::string>>& context) {
    const std::string json = bench::ToBenchmarkJson(runs, context);
    if (options.out.empty()) {
        std::fwrite(json.data(), 1, json.size(), stdout);
        return true;
    }
    std::ofstream file(bench::WindowsPath(options.out), std::ios::binary);
    file << json;
    if (!file.flush()) {
        std::fprintf(stderr, "bench_wine_chunks: cannot write %s\n", options.out.c_str());
        return false;
    }
    return true;
}

int Run(const bench::BenchOptions& options) {
    std::vector<Benchmark> benchmarks = Selected(options);
    if (benchmarks.empty()) {
        std::fprintf(stderr, "bench_wine_chunks: no benchmark matches the filter\n");
        return WriteResults(options, {}, {}) ? 0 : 1;
    }

    // The server always posts to this port: fail early, and plainly, when
    // another program holds it.
    try {
        BackendOnFixedPort();
    } catch (const std::exception& error) {
        std::fprintf(stderr,
                     "bench_wine_chunks: %s\nThe server always posts to localhost:%u; stop the "
                     "program that listens there (a test back end, the demo) and try again.\n",
                     error.what(), static_cast<unsigned>(kBackendPort));
        return 2;
    }

    bench::ServerRegistration registration(options.server);
    if (!registration.Registered()) {
        std::fprintf(stderr, "bench_wine_chunks: \"%s\" /RegServer ended with %d\n",
                     options.server.c_str(), registration.ExitCode());
        return 2;
    }
    host::ComApartment apartment;
    const auto activationStart = std::chrono::steady_clock::now();
    host::Activation activation = host::ActivateEngine(host::kDefaultProgId);
    const double activationMs = std::chrono::duration<double, std::milli>(
                                    std::chrono::steady_clock::now() - activationStart)
                                    .count();
    if (!activation.engine) {
        std::fprintf(stderr, "bench_wine_chunks: %s\n", activation.message.c_str());
        return 2;
    }
    std::fprintf(stderr, "server activated by ProgID %s in %.0f ms\n", host::kDefaultProgId,
                 activationMs);

    int status = 0;
    std::vector<bench::TimedRun> runs;
    std::vector<std::pair<std::string, std::string>> context;
    {
        ChunkBench bench(std::move(activation.engine), options.server);
        if (const std::string error = bench.Calibrate(); !error.empty()) {
            std::fprintf(stderr, "bench_wine_chunks: the first job failed: %s\n", error.c_str());
            return 1;
        }
        std::fprintf(stderr, "the engine's request head, replayed by the bare client:\n%s",
                     bench.FirstHead().c_str());
        // A new order in every round, so that no figure always runs first
        // or right after another one.
        std::mt19937 shuffle(std::random_device{}());
        for (int repetition = 0; repetition < options.repetitions; ++repetition) {
            std::shuffle(benchmarks.begin(), benchmarks.end(), shuffle);
            for (const Benchmark& benchmark : benchmarks) {
                bench::TimedRun run;
                try {
                    run = benchmark.run(bench);
                } catch (const std::exception& error) {
                    // The port taken in this round: the other figures still count.
                    run.error = error.what();
                }
                run.name = benchmark.name;
                run.repetitionIndex = repetition;
                run.repetitions = options.repetitions;
                PrintRun(run);
                if (!run.error.empty()) {
                    status = 1;
                }
                runs.push_back(std::move(run));
            }
        }
        std::sort(runs.begin(), runs.end(), [](const auto& a, const auto& b) {
            return a.name != b.name ? a.name < b.name : a.repetitionIndex < b.repetitionIndex;
        });
        context = {
            {"executable", "bench_wine_chunks"},
            {"host_bits", std::to_string(8 * sizeof(void*))},
            {"server_activation_ms", std::to_string(static_cast<long>(activationMs))},
            {"server_processes", std::to_string(bench.ServerProcesses())},
            {"cpu_time", bench.ServerCpuKnown()
                             ? "this process and the server (wineserver not counted)"
                             : "this process only (the server's times are unknown)"},
        };
    }

    // The engine is released: the server ends shortly after. Wait for it so
    // that unregistering does not race its exit.
    const std::string serverName = bench::FileNameOf(options.server);
    for (int waited = 0; waited < 5000 && bench::CountProcesses(serverName) > 0; waited += 50) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WriteResults(options, runs, context) ? status : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string problem;
    const std::optional<bench::BenchOptions> options =
        bench::ParseBenchOptions(std::vector<std::string>(argv + 1, argv + argc), problem);
    if (!options) {
        std::fprintf(stderr,
                     "bench_wine_chunks: %s\nusage: bench_wine_chunks --server PATH "
                     "[--repetitions N] [--filter REGEX] [--out FILE] [--prefix NAME]\n",
                     problem.c_str());
        return 2;
    }
    try {
        return Run(*options);
    } catch (const std::exception& error) {
        // A back end that cannot take the port in a later round ends here.
        std::fprintf(stderr, "bench_wine_chunks: %s\n", error.what());
        return 1;
    }
}
