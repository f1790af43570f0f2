// The demo back end: its word lists, its word-by-word translation and its
// answers over HTTP on a free loopback port.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "backend/http_transport.h"
#include "tools/backend/pipelines.h"
#include "tools/demo_backend/demo_service.h"
#include "tools/demo_backend/dictionary.h"
#include "tools/demo_backend/http_server.h"
#include "tools/demo_backend/word_translator.h"
#include "tools/host/backend_probe.h"

namespace demo_backend {
namespace {

Dictionary Words(std::string_view text) {
    Dictionary dictionary;
    EXPECT_EQ(dictionary.Load(text), 0u);
    return dictionary;
}

std::string PathOf(std::string_view source, std::string_view target) {
    for (const auto& pipeline : test_backend::Pipelines()) {
        if (pipeline.source == source && pipeline.target == target) {
            return std::string(pipeline.path);
        }
    }
    return {};
}

TEST(DemoDictionary, LoadsEntriesAndNamesTheFirstBadLine) {
    Dictionary dictionary;
    EXPECT_EQ(dictionary.Load("# comment\n\nHaus\thouse\r\nguten Morgen\tgood morning\n"
                              "haus\thome\n"),
              0u);
    EXPECT_EQ(dictionary.Size(), 2u);
    EXPECT_EQ(dictionary.Find("haus"), "house");  // the first entry wins, case folded
    EXPECT_EQ(dictionary.Find("guten morgen"), "good morning");
    EXPECT_EQ(dictionary.LongestPhrase(), 2u);
    EXPECT_FALSE(dictionary.Find("Haus").has_value());

    EXPECT_EQ(Dictionary().Load("a\tb\nno tab here\n"), 2u);
    EXPECT_EQ(Dictionary().Load("a\t\n"), 1u);
    EXPECT_EQ(FoldCase("ÄÖÜ ß Ära ×"), "äöü ß ära ×");
}

TEST(DemoTranslation, TranslatesWordByWordAndMarksUnknownWords) {
    const Dictionary german = Words(
        "der\tthe\nhaus\thouse\nist\tis\ngroß\tbig\nguten morgen\tgood morning\n"
        "am abend\tin the evening\nam\tat\nabend\tevening\n");
    struct Case {
        std::string_view source;
        std::string_view expected;
    };
    const Case cases[] = {
        {"Das Haus ist groß.", "<unk> Das </unk> house is big."},
        {"Der Haus ist groß.", "The house is big."},
        {"Guten Morgen! Am Abend.", "Good morning! In the evening."},
        {"am  abend", "at  evening"},  // a phrase needs single blanks
        {"Haus,\n\tder Haus 42", "House,\n\tthe house 42"},
        {"Ärger", "<unk> Ärger </unk>"},
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TranslateText(german, "de", true, c.source), c.expected) << c.source;
    }
    // Without letter case in the target nothing is capitalized.
    EXPECT_EQ(TranslateText(german, "de", false, "Der Haus"), "the house");
}

TEST(DemoTranslation, LanguageRulesForElisionPrefixesAndDroppedWords) {
    const Dictionary italian = Words("l'\tthe\nacqua\twater\nc'è\tthere is\n");
    EXPECT_EQ(TranslateText(italian, "it", true, "L'acqua c'è"), "The water there is");
    EXPECT_EQ(TranslateText(italian, "it", true, "l'ignoto"), "<unk> l'ignoto </unk>");

    const Dictionary arabic = Words("كتاب\tbook\nبيت\thouse\n");
    EXPECT_EQ(TranslateText(arabic, "ar", true, "الكتاب والبيت"), "The book and the house");
    EXPECT_EQ(TranslateText(arabic, "fa", true, "الكتاب"), "<unk> الكتاب </unk>");

    const Dictionary english = Words("the\t~\nbook\tكتاب\n");
    EXPECT_EQ(TranslateText(english, "en", false, "the book"), "كتاب");
}

TEST(DemoService, RoutesEveryPipelineAndRefusesTheRest) {
    const DemoService service(QN_DEMO_DICTIONARY_DIR);
    struct Case {
        std::string_view source;
        std::string_view target;
        std::string_view text;
        std::string_view expected;
    };
    const Case cases[] = {
        {"de", "en", "Hallo Welt", "Hello world"},
        {"it", "en", "Ciao mondo", "Hello world"},
        {"ar", "en", "مرحبا", "Hello"},
        {"fa", "en", "سلام دنیا", "Hello world"},
        {"en", "ar", "hello world", "مرحبا عالم"},
        {"en", "fa", "hello world", "سلام جهان"},
    };
    for (const Case& c : cases) {
        const Response response = service.Handle("POST", "/" + PathOf(c.source, c.target), c.text);
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body, c.expected) << c.source << "-" << c.target;
    }
    EXPECT_EQ(service.Handle("GET", "/" + PathOf("de", "en"), "").status, 405);
    EXPECT_EQ(service.Handle("POST", "/fcgiDispatch.de", "Hallo").status, 404);
    EXPECT_EQ(service.Handle("POST", PathOf("de", "en"), "Hallo").status, 404);  // no slash
    EXPECT_NE(service.Summary().find("de-en "), std::string::npos);
    EXPECT_THROW(DemoService("/nonexistent-word-lists"), std::runtime_error);
}

TEST(DemoHttpServer, AnswersOverLoopbackAndStopsWhenAsked) {
    const DemoService service(QN_DEMO_DICTIONARY_DIR);
    HttpServer server(0);
    std::atomic<bool> stop{false};
    std::size_t served = 0;
    std::thread serving([&] {
        served = server.Run(
            stop,
            [&service](std::string_view method, std::string_view target, std::string_view body) {
                return service.Handle(method, target, body);
            },
            nullptr);
    });
    SetBackendPortForTesting(server.Port());
    const host::PipelineAnswer answer =
        host::PostToPipeline(PathOf("de", "en"), "Guten Morgen, Quatsch");
    const host::PipelineAnswer missing = host::PostToPipeline("fcgiDispatch.xx", "x");
    SetBackendPortForTesting(0);
    stop = true;
    serving.join();

    ASSERT_TRUE(answer.reached) << answer.problem;
    EXPECT_EQ(answer.status, 200);
    EXPECT_EQ(answer.body, "Good morning, <unk> Quatsch </unk>");
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(served, 2u);
}

}  // namespace
}  // namespace demo_backend
