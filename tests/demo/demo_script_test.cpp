// scripts/demo --native from start to end, as a person runs it: the sample's
// English translation, the features in two languages, and nothing left behind.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct ScriptRun {
    int exitCode = -1;
    std::string output;
};

ScriptRun RunDemo() {
    const std::string command = std::string("QN_DEMO_PREBUILT='") + QN_BUILD_DIR + "' '" +
                                QN_SOURCE_DIR + "/scripts/demo' --native 2>&1 </dev/null";
    ScriptRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return run;
    }
    std::array<char, 4096> buffer;
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        run.output.append(buffer.data(), got);
    }
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(DemoScript, NativeDemoTranslatesTheSampleAndCleansUp) {
    const ScriptRun run = RunDemo();
    ASSERT_EQ(run.exitCode, 0) << run.output;
    for (const char* expected : {
             // German and Italian sample, unknown words kept without their marks.
             "Good morning! Today is the weather beautiful, and the sun shines over the city.\n",
             "In the evening go we together in a restaurant. The food is good, but the "
             "Quittenkuchen is unfortunately too sweet.\n",
             "Good morning to everyone! Today the sky is blue and the sea is calm.\n",
             "The food is good, but the sfogliatella is too sweet.\n",
             "<Translation>Good morning &amp; thank you!</Translation>\n",
             // Configure saw the six served directions' model folders.
             "Vorla De to En Hybrid Engine 1.0  "
             "QNDravikHybridTranslationEngine.TranslationEngine.1  no\n",
             "Vorla En to De Hybrid Engine 1.0  "
             "QNDravikHybridTranslationEngine.TranslationEngine.1  yes\n",
             // Features in English and German.
             "Feature list Input \"Input\", for the source text\n",
             "Feature list Input \"Eingabe\", for the source text\n",
             "  de -> en  answers \"hallo\" with \"hello\"\n",
             "==> Done. What the demo did:\n",
         }) {
        EXPECT_NE(run.output.find(expected), std::string::npos) << expected << "\nin:\n"
                                                                << run.output;
    }
    EXPECT_EQ(run.output.find("<unk>", run.output.find("==> English")), std::string::npos)
        << "the engine removes the back end's marks";
    EXPECT_EQ(run.output.find("qn-host:"), std::string::npos) << "no complaint expected";
    const bool ownBackend = run.output.find("Starting the demo back end") != std::string::npos;
    if (ownBackend) {
        EXPECT_NE(run.output.find("unregistered the server, stopped the demo back end"),
                  std::string::npos);
    }
}

}  // namespace
