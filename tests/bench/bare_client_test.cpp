#include "bench/bare_client.h"

#include <gtest/gtest.h>

#include <string>

#include "backend/http_transport.h"
#include "backend/pipeline_table.h"
#include "bench/engine_harness.h"
#include "text/code_pages.h"
#include "tools/backend/test_backend.h"

namespace {

// The per-chunk comparison is only fair if the bare client sends what the
// engine sends: the same head, byte for byte, and the same body.
TEST(BareClient, SendsExactlyTheEnginesRequest) {
    test_backend::TestBackend backend(0);
    SetBackendPortForTesting(backend.Port());
    const std::u16string chunk = u"\u0645\u0631\u062D\u0628\u0627 & 7";
    {
        bench::Apartment apartment;
        ComPtr<IQNSTranslationEngine> engine = bench::CreateEngine();
        ASSERT_TRUE(engine);
        const UniqueBstr options = CopyToBstr(bench::kArabicToEnglish);
        const UniqueBstr source = CopyToBstr(chunk);
        const UniqueBstr markup = bench::TranslateText(*engine.get(), options.get(), source.get());
        EXPECT_GT(SysStringLen(markup.get()), 0u);
    }
    SetBackendPortForTesting(0);

    const std::string body = WideToNarrow(chunk, kCodePageUtf8);
    const auto answer = bench::BareExchange(
        backend.Port(), bench::BackendRequest(PipelinePath(u"ar", u"en"), backend.Port(), body));
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, "hello <unk> & </unk> <unk> 7 </unk>");

    const auto requests = backend.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].head, requests[0].head);
    EXPECT_EQ(requests[1].body, requests[0].body);
    EXPECT_EQ(requests[1].body, body);
}

TEST(BareClient, ReadsAsManyBytesAsAnnouncedAndFailsWithoutABackEnd) {
    test_backend::TestBackend backend(0);
    const std::string canned(100000, 'x');
    backend.SetCannedAnswer(canned);
    const std::string request =
        bench::BackendRequest(PipelinePath(u"de", u"en"), backend.Port(), "");
    EXPECT_EQ(bench::BareExchange(backend.Port(), request), canned);

    test_backend::TestBackend refusing(0, test_backend::Fault::NotListening);
    EXPECT_EQ(bench::BareExchange(refusing.Port(), request), std::nullopt);
}

}  // namespace
