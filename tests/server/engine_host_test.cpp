// The engine driven as a host drives it: created by its ProgID and called
// through IQNSTranslationEngine, early and late bound, against the test back
// end on the engine's fixed port. Under Wine the server runs out of process
// (from a 32-bit or a 64-bit host); natively the same calls go through the
// in-process class registration.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/com_ptr.h"
#include "platform/com_server.h"
#include "platform/unique_handle.h"
#include "platform/wide.h"
#include "server/engine_interface.h"
#include "server/guids.h"
#include "tests/server/host_objects.h"
#include "tests/server/server_end_guard.h"
#include "tests/server/server_process.h"
#include "tools/backend/test_backend.h"

#ifdef _WIN32
#include <tlhelp32.h>
#else
#include "platform/registry.h"
#include "server/exe_module.h"
#include "server/registration.h"
#endif

namespace {

const IID kNullIid = {};
constexpr char16_t kProgId[] = u"QNDravikHybridTranslationEngine.TranslationEngine.1";
constexpr char16_t kArabicToEnglish[] =
    u"<t:Option Name=\"SourceLanguage\">ar</t:Option>"
    u"<t:Option Name=\"TranslationLanguage\">en</t:Option>";
constexpr char16_t kEnglishToGerman[] =
    u"<t:Option Name=\"SourceLanguage\">en</t:Option>"
    u"<t:Option Name=\"TranslationLanguage\">de</t:Option>";

// An owned BSTR made from engine text.
class Text {
  public:
    explicit Text(std::u16string_view text)
        : value_(SysAllocStringLen(ToPlatform(std::u16string(text).data()),
                                   static_cast<UINT>(text.size()))) {}
    ~Text() { SysFreeString(value_); }
    Text(const Text&) = delete;
    Text& operator=(const Text&) = delete;
    BSTR get() const { return value_; }

  private:
    BSTR value_;
};

std::u16string TakeText(BSTR& text) {
    std::u16string result = FromPlatform(text, SysStringLen(text));
    SysFreeString(text);
    text = nullptr;
    return result;
}

#ifdef _WIN32
// The servers a host of this build drives out of process: the build's own
// and, from a 64-bit host, the 32-bit product server where this machine runs
// 32-bit programs. Wine hands the scripts' QN_WINE_32BIT to the test.
constexpr const char* kOwnServer = sizeof(void*) == 8 ? "x64" : "x86";

std::string ServerUnixPath([[maybe_unused]] const std::string& server) {
#ifdef QN_WIN32_SERVER_EXE
    if (server == "x86") {
        return QN_WIN32_SERVER_EXE;
    }
#endif
    return QN_SERVER_EXE;
}

std::string ServerPath(const std::string& server) {
    std::string path = "Z:" + ServerUnixPath(server);
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

// Why a 64-bit host cannot drive the 32-bit server here; empty when it can.
std::string WhyNotServed(const std::string& server) {
    if (server == kOwnServer) {
        return {};
    }
    const char* runs32 = std::getenv("QN_WINE_32BIT");
    if (runs32 != nullptr && std::string(runs32) == "0") {
        const char* why = std::getenv("QN_WINE_32BIT_WHY");
        return std::string("the 32-bit server cannot run: ") + (why != nullptr ? why : "");
    }
    if (!std::filesystem::exists(ServerPath(server))) {
        return "the 32-bit server is not built (build the windows preset first)";
    }
    return {};
}

int ServerProcessCount() {
    int count = 0;
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        return -1;  // cannot tell: never reads as "none left"
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        if (std::string(entry.szExeFile) == "Vorla Hybrid Engine.exe") {
            ++count;
        }
    }
    return count;
}

bool WaitForNoServer() {
    const auto deadline = std::chrono::steady_clock::now() + ServerEndGuard();
    while (ServerProcessCount() != 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return ServerProcessCount() == 0;
}
#endif

// The parameter names the server: "x86" or "x64" out of process under Wine,
// "native" for the class registered in this process.
class EngineHostTest : public ::testing::TestWithParam<std::string> {
  protected:
    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
#ifndef _WIN32
        store_ = std::filesystem::temp_directory_path() /
                 ("qn-engine-host-" + std::to_string(::getpid()) + ".reg");
        setenv(kRegistryFileVariable, store_.c_str(), 1);
        HKEY software = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &software, nullptr);
        RegCloseKey(software);
        ASSERT_EQ(server::RegisterServer(), S_OK);
        ASSERT_EQ(server::Module().RegisterClassObjects(), S_OK);
#endif
    }

    static void TearDownTestSuite() {
#ifdef _WIN32
        if (!registered_.empty()) {
            RunProcess(ServerPath(registered_), "/UnregServer");
            registered_.clear();
        }
#else
        server::Module().RevokeClassObjects();
        server::UnregisterServer();
        std::filesystem::remove(store_);
#endif
        CoUninitialize();
    }

    void SetUp() override {
#ifdef _WIN32
        // One server registered at a time: the class has one LocalServer32.
        if (const std::string why = WhyNotServed(GetParam()); !why.empty()) {
            GTEST_SKIP() << why;
        }
        // The server of an earlier test may still be in its grace period, and
        // would serve this test's activations whichever server it is.
        ASSERT_TRUE(WaitForNoServer()) << "a server of an earlier test did not end";
        if (registered_ != GetParam()) {
            if (!registered_.empty()) {
                RunProcess(ServerPath(registered_), "/UnregServer");
            }
            registered_.clear();
            const ProcessResult registered = RunProcess(ServerPath(GetParam()), "/RegServer");
            ASSERT_EQ(registered.exitCode, 0) << registered.errorOutput;
            registered_ = GetParam();
        }
#endif
        backend_ = std::make_unique<test_backend::TestBackend>(11000);
    }
    void TearDown() override {
        backend_.reset();
    }

    static ComPtr<IQNSTranslationEngine> CreateEngine() {
        CLSID clsid;
        EXPECT_EQ(CLSIDFromProgID(ToPlatform(kProgId), &clsid), S_OK);
        EXPECT_TRUE(IsEqualGUID(clsid, kClsidTranslationEngine));
        ComPtr<IQNSTranslationEngine> engine;
        EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, kIidIQNSTranslationEngine,
                                   engine.put_void()),
                  S_OK);
        return engine;
    }

    std::unique_ptr<test_backend::TestBackend> backend_;
#ifdef _WIN32
    static inline std::string registered_;
#else
    static inline std::filesystem::path store_;
#endif
};

TEST_P(EngineHostTest, TranslateDeliversEveryChunkInOrderAndCompletes) {
    auto engine = CreateEngine();
    ASSERT_TRUE(engine);
    auto* source = new HostSource({u"salam", u"&", u"kitab"});
    auto* sink = new HostSink();
    ComPtr<IDispatch> sourceRef = ComPtr<IDispatch>::Retain(source);
    ComPtr<IDispatch> sinkRef = ComPtr<IDispatch>::Retain(sink);
    Text options(kArabicToEnglish);

    ASSERT_EQ(engine->Translate(options.get(), sourceRef.get(), sinkRef.get()), S_OK);

    const auto chunks = sink->Chunks();
    ASSERT_EQ(chunks.size(), 3u);
    for (const std::u16string& chunk : chunks) {
        EXPECT_EQ(chunk.rfind(u"<Translation>", 0), 0u);
        EXPECT_EQ(chunk.substr(chunk.size() - 15), u"</Translation>\n");
    }
    EXPECT_EQ(sink->Completions(), std::vector<int>{1});
    EXPECT_EQ(backend_->RequestCount(), 3u);
}

TEST_P(EngineHostTest, UnsupportedPairAnswersEveryChunkWithTheErrorAndSource) {
    auto engine = CreateEngine();
    ASSERT_TRUE(engine);
    auto* sink = new HostSink();
    ComPtr<IDispatch> sourceRef = ComPtr<IDispatch>::Retain(new HostSource({u"a<b", u"c"}));
    ComPtr<IDispatch> sinkRef = ComPtr<IDispatch>::Retain(sink);
    Text options(kEnglishToGerman);

    ASSERT_EQ(engine->Translate(options.get(), sourceRef.get(), sinkRef.get()), S_OK);
    EXPECT_EQ(sink->Chunks(), (std::vector<std::u16string>{
                                  u"<Errors>Unsupported language pair for hybrid engine</Errors>\n"
                                  u"<Translation>a&lt;b</Translation>\n",
                                  u"<Errors>Unsupported language pair for hybrid engine</Errors>\n"
                                  u"<Translation>c</Translation>\n"}));
    EXPECT_EQ(sink->Completions(), std::vector<int>{1});
    EXPECT_EQ(backend_->RequestCount(), 0u);
}

TEST_P(EngineHostTest, TranslateTextFeaturesAndTheMethodsThatDoNothing) {
    auto engine = CreateEngine();
    ASSERT_TRUE(engine);
    Text options(kArabicToEnglish);
    Text source(u"salam");
    BSTR translation = nullptr;
    ASSERT_EQ(engine->TranslateText(options.get(), source.get(), &translation), S_OK);
    const std::u16string markup = TakeText(translation);
    EXPECT_EQ(markup.rfind(u"<Translation>", 0), 0u) << std::string(markup.begin(), markup.end());
    EXPECT_EQ(std::count(markup.begin(), markup.end(), u'\n'), 1);

    Text empty(u"");
    ASSERT_EQ(engine->TranslateText(options.get(), empty.get(), &translation), S_OK);
    EXPECT_EQ(TakeText(translation), u"");

    BSTR features = nullptr;
    ASSERT_EQ(engine->get_Features(nullptr, &features), S_OK);
    EXPECT_EQ(TakeText(features).rfind(u"<Features>&lt;VendorCode&gt;Dravik", 0), 0u);

    // In process the caller's value reaches the engine: it must be replaced.
    Text stale(u"stale");
    BSTR untouched = stale.get();
    EXPECT_EQ(engine->get_AlternateWords(options.get(), source.get(), &untouched), S_OK);
    EXPECT_EQ(untouched, nullptr);
    untouched = stale.get();
    EXPECT_EQ(engine->SetAlternateWord(options.get(), source.get(), source.get(), &untouched),
              S_OK);
    EXPECT_EQ(untouched, nullptr);
#ifndef _WIN32
    EXPECT_EQ(engine->get_AlternateWords(options.get(), source.get(), nullptr), E_POINTER);
    EXPECT_EQ(engine->SetAlternateWord(options.get(), source.get(), source.get(), nullptr),
              E_POINTER);
#endif
    EXPECT_EQ(engine->ScanSentences(options.get(), nullptr, nullptr), S_OK);

    ComPtr<ISupportErrorInfo> errorInfo;
    ASSERT_EQ(engine->QueryInterface(IID_ISupportErrorInfo, errorInfo.put_void()), S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(kIidIQNSTranslationEngine), S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);
}

TEST_P(EngineHostTest, LateBoundNamesAndFeaturesAsPropertyGet) {
    auto engine = CreateEngine();
    ASSERT_TRUE(engine);
    std::u16string name = u"Translate";
    LPOLESTR names[] = {ToPlatform(name.data())};
    DISPID id = 0;
    ASSERT_EQ(engine->GetIDsOfNames(kNullIid, names, 1, 0x0409, &id), S_OK);
    EXPECT_EQ(id, 2);

    Text options(u"<t:Option Name=\"UILanguage\">de</t:Option>");
    VARIANT argument;
    VariantInit(&argument);
    argument.vt = VT_BSTR;
    argument.bstrVal = options.get();
    DISPPARAMS params = {&argument, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(engine->Invoke(1, kNullIid, 0x0409, DISPATCH_PROPERTYGET, &params, &result, nullptr,
                             nullptr),
              S_OK);
    ASSERT_EQ(result.vt, VT_BSTR);
    const std::u16string document = FromPlatform(result.bstrVal, SysStringLen(result.bstrVal));
    EXPECT_NE(document.find(u"Eingabe"), std::u16string::npos);
    VariantClear(&result);
}

TEST_P(EngineHostTest, TwoClientsAtOnceAreServedOneAfterTheOther) {
    auto first = CreateEngine();
    auto second = CreateEngine();
    ASSERT_TRUE(first && second);
    std::atomic<int> clock{0};
    HostSource* sources[2] = {new HostSource({u"salam", u"kitab"}, &clock),
                              new HostSource({u"kitab", u"salam"}, &clock)};
    HostSink* sinks[2] = {new HostSink(&clock), new HostSink(&clock)};
    ComPtr<IDispatch> refs[4] = {
        ComPtr<IDispatch>::Retain(sources[0]), ComPtr<IDispatch>::Retain(sinks[0]),
        ComPtr<IDispatch>::Retain(sources[1]), ComPtr<IDispatch>::Retain(sinks[1])};
    Text options(kArabicToEnglish);
    IQNSTranslationEngine* engines[2] = {first.get(), second.get()};
    std::vector<std::thread> clients;
    for (int i = 0; i < 2; ++i) {
        clients.emplace_back([&, i] {
            CoInitializeEx(nullptr, COINIT_MULTITHREADED);
            engines[i]->Translate(options.get(), refs[2 * i].get(), refs[2 * i + 1].get());
            CoUninitialize();
        });
    }
    for (auto& client : clients) {
        client.join();
    }
    for (HostSink* sink : sinks) {
        EXPECT_EQ(sink->Chunks().size(), 2u);
        EXPECT_EQ(sink->Completions(), std::vector<int>{1});
    }
    // Whichever job ran second read its first chunk after the other completed.
    const bool firstRanFirst = sources[0]->FirstReadAt() < sources[1]->FirstReadAt();
    const int earlier = firstRanFirst ? 0 : 1;
    EXPECT_GT(sources[1 - earlier]->FirstReadAt(), sinks[earlier]->CompletedAt());
}

#ifdef _WIN32
TEST_P(EngineHostTest, ServerExitsWhenTheLastClientLetsGo) {
    {
        auto engine = CreateEngine();
        ASSERT_TRUE(engine);
        EXPECT_GE(ServerProcessCount(), 1);
    }
    EXPECT_TRUE(WaitForNoServer());
}
#else
// The last release leaves the class object published: a client between two
// activations is served.
TEST_P(EngineHostTest, AnEngineIsServedRightAfterTheLastRelease) {
    {
        auto engine = CreateEngine();
        ASSERT_TRUE(engine);
        EXPECT_EQ(server::Module().LockCount(), 1);
    }
    EXPECT_EQ(server::Module().LockCount(), 0);
    ComPtr<IQNSTranslationEngine> again;
    EXPECT_EQ(CoCreateInstance(kClsidTranslationEngine, nullptr, CLSCTX_LOCAL_SERVER,
                               kIidIQNSTranslationEngine, again.put_void()),
              S_OK);
}
#endif

#ifdef _WIN32
#ifdef QN_WIN32_SERVER_EXE
INSTANTIATE_TEST_SUITE_P(Server, EngineHostTest, ::testing::Values("x64", "x86"),
                         [](const auto& info) { return info.param; });
#else
INSTANTIATE_TEST_SUITE_P(Server, EngineHostTest, ::testing::Values("x86"),
                         [](const auto& info) { return info.param; });
#endif
#else
INSTANTIATE_TEST_SUITE_P(Server, EngineHostTest, ::testing::Values("native"),
                         [](const auto& info) { return info.param; });
#endif

}  // namespace
