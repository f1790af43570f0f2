#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "backend/http_transport.h"
#include "backend/hybrid_client.h"
#include "backend/translation_options.h"
#include "tools/backend/test_backend.h"

// Without the test seam the engine talks to localhost:11000, where a back end
// started on its default port answers.
TEST(FixedPort, EngineReachesTheBackEndOnPort11000) {
    SetBackendPortForTesting(0);
    ASSERT_EQ(BackendPort(), 11000);
    std::unique_ptr<test_backend::TestBackend> backend;
    try {
        backend = std::make_unique<test_backend::TestBackend>(11000);
    } catch (const std::runtime_error& error) {
        FAIL() << error.what() << " (stop whatever holds port 11000 and run this test again)";
    }
    TranslationOptions options;
    options.SetFromText(
        u"<t:Option Name=\"SourceLanguage\">de</t:Option>"
        u"<t:Option Name=\"TranslationLanguage\">en</t:Option>");
    HybridClient client(options);
    EXPECT_EQ(client.TranslateSegment(u"Hallo Welt"), u"<Translation>hello world</Translation>\n");
    ASSERT_EQ(backend->RequestCount(), 1u);
    EXPECT_EQ(backend->Requests()[0].Header("Host"), "localhost:11000");
}
