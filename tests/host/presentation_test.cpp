// What the tool shows a person: the features document in readable form, the
// progress line, and how the command line is understood.
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "backend/features_document.h"
#include "tools/host/command_line.h"
#include "tools/host/exit_codes.h"
#include "tools/host/features_view.h"
#include "tools/host/job_outcome.h"
#include "tools/host/progress_meter.h"
#include "tools/host/utf8_text.h"

namespace host {
namespace {

std::string Rendered(const std::u16string& document) {
    return EncodeUtf8(RenderFeatures(document));
}

TEST(FeaturesView, ShowsEveryPartOfTheEnginesDocument) {
    FeaturesDocument document;
    document.vendorCode = u"Dravik";
    document.alternateWordSupport = 1;
    document.isCompositeEngine = true;
    document.topLevelOptions.emplace(u"MaximumDictionaries", u"7");
    FeatureList list{u"Input", u"Eingabe", true, {}};
    list.features.push_back(
        {u"HandleInputEMailPrefixes", u"Präfix erkennen (z.B. '>>>')", u"CheckBox", u"1", {}});
    list.features.push_back({u"Style", u"Stil <&>", u"Combo", u"F", {{u"F", u"Formal"}}});
    document.featureLists.push_back(list);
    document.technicalDictionaries.push_back({u"Med", u"Medizin"});
    const std::string text = Rendered(SerializeFeatures(document));

    for (const char* expected : {
             "Vendor code:                Dravik\n",
             "Alternate words:            offered (S)\n",
             "Dictionary browsing:        not offered (N)\n",
             "Composite engine:           yes\n",
             "Creates user dictionaries:  no\n",
             "  MaximumDictionaries:      7\n",
             "Feature list Input \"Eingabe\", for the source text\n",
             "  HandleInputEMailPrefixes: \"Präfix erkennen (z.B. '>>>')\"\n",
             "    kind:                   check box\n",
             "  Style:                    \"Stil <&>\"\n",
             "    kind:                   list\n",
             "    value F:                \"Formal\"\n",
             "Technical dictionaries:     Med \"Medizin\"\n",
             "User dictionaries:          none\n",
         }) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;
    }
}

TEST(FeaturesView, AnUnreadableDocumentIsShownAsSentAfterANote) {
    const std::string unclosed = Rendered(u"<Features>&lt;VendorCode&gt;Dravik</Features>\n");
    EXPECT_EQ(unclosed.rfind("(the features document could not be read", 0), 0u);
    EXPECT_NE(unclosed.find("<VendorCode>Dravik"), std::string::npos);
    const std::string foreign = Rendered(u"no document");
    EXPECT_NE(foreign.find("no document"), std::string::npos);
    // Elements the tool does not know are still listed by name.
    EXPECT_NE(Rendered(u"<Features>&lt;Extra&gt;42&lt;/Extra&gt;</Features>").find("Extra:"),
              std::string::npos);
}

TEST(Progress, LineShowsCountsRateAndTimeLeft) {
    struct Case {
        ProgressState state;
        std::string expected;
    };
    const Case cases[] = {
        {{0, 4, 0, 800, 0.0}, "[----]  0/4 chunks  0/800 chars  -- chars/s  --:-- left"},
        {{1, 4, 200, 800, 2.0}, "[#---]  1/4 chunks  200/800 chars  100 chars/s  0:06 left"},
        {{2, 4, 400, 800, 0.5}, "[##--]  2/4 chunks  400/800 chars  800 chars/s  0:01 left"},
        {{4, 4, 800, 800, 8.0}, "[####]  4/4 chunks  800/800 chars  100 chars/s  0:00 left"},
        {{1, 2, 10, 100000, 1.0}, "[----]  1/2 chunks  10/100000 chars  10 chars/s  2:46:39 left"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatProgress(c.state, 4), c.expected);
    }
}

TEST(Progress, ShownOnlyForLongInputAndOnlyWhenEnabled) {
    EXPECT_FALSE(IsLongInput(1, 1000000));  // one chunk: nothing to follow
    EXPECT_FALSE(IsLongInput(3, 300));
    EXPECT_TRUE(IsLongInput(10, 30));
    EXPECT_TRUE(IsLongInput(2, 2000));

    std::ostringstream quiet;
    {
        ProgressMeter meter(quiet, false, 3, 30);
        meter.ChunkDone(10);
        meter.Clear();
        meter.Finish();
    }
    EXPECT_EQ(quiet.str(), "");

    std::ostringstream terminal;
    ProgressMeter meter(terminal, true, 2, 30);
    meter.ChunkDone(10);
    meter.ChunkDone(20);
    meter.Finish();
    const std::string shown = terminal.str();
    EXPECT_EQ(shown.front(), '\r');
    EXPECT_EQ(shown.back(), '\n');
    EXPECT_NE(shown.find("2/2 chunks  30/30 chars"), std::string::npos) << shown;
}

TEST(CommandLine, UnderstandsEveryCommandAndItsOptions) {
    std::string error;
    auto parse = [&error](std::vector<std::string> args) {
        error.clear();
        return ParseCommandLine(args, error);
    };
    EXPECT_EQ(parse({})->command, Command::Help);
    EXPECT_EQ(parse({"engines"})->command, Command::Engines);
    EXPECT_EQ(parse({"check", "--help"})->command, Command::Help);

    const auto features = parse({"features", "--ui=de", "--raw", "--progid", "X.Y"});
    ASSERT_TRUE(features);
    EXPECT_EQ(features->ui, "de");
    EXPECT_TRUE(features->raw);
    EXPECT_EQ(features->progId, "X.Y");

    const auto translate =
        parse({"translate", "--from", "de", "--to=en", "in.txt", "--chunk", "line", "--markup"});
    ASSERT_TRUE(translate);
    EXPECT_EQ(translate->command, Command::Translate);
    EXPECT_EQ(translate->from, "de");
    EXPECT_EQ(translate->to, "en");
    EXPECT_EQ(translate->input, "in.txt");
    EXPECT_EQ(translate->chunk, ChunkMode::Line);
    EXPECT_TRUE(translate->markup);
    const auto defaults = parse({"translate", "--from", "it", "--to", "en"});
    ASSERT_TRUE(defaults);
    EXPECT_EQ(defaults->input, "-");
    EXPECT_EQ(defaults->chunk, ChunkMode::Paragraph);
    EXPECT_FALSE(defaults->markup);
}

TEST(CommandLine, RefusesWhatItCannotUnderstand) {
    struct Case {
        std::vector<std::string> args;
        const char* error;
    };
    const Case cases[] = {
        {{"translat"}, "unknown command"},
        {{"translate", "--to", "en"}, "needs --from and --to"},
        {{"translate", "--from", "de", "--to"}, "needs a value"},
        {{"translate", "--from", "de", "--to", "en", "a", "b"}, "one too many"},
        {{"translate", "--from", "de", "--to", "en", "--chunk", "word"}, "line, paragraph"},
        {{"translate", "--from", "de", "--to", "en", "--raw"}, "unknown option"},
        {{"engines", "--ui", "de"}, "unknown option"},
        {{"features", "--markup"}, "unknown option"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseCommandLine(c.args, error).has_value()) << c.args.back();
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
    }
}

TEST(JobOutcome, AJobIsWholeOnlyWhenEveryChunkCameBack) {
    struct Case {
        std::optional<bool> outcome;
        std::size_t written;
        const char* message;  // nullptr: the job succeeded
    };
    const Case cases[] = {
        {true, 3, nullptr},
        {true, 2, "the job ended early: only 2 of 3 chunks came back"},
        {true, 0, "the job ended early: only 0 of 3 chunks came back"},
        {false, 3, "the job failed after 3 of 3 chunks"},
        {std::nullopt, 3, "the engine never reported its end"},
    };
    for (const Case& c : cases) {
        JobRecord record;
        record.chunksWritten = c.written;
        const std::optional<JobFailure> failure = JobFailed(S_OK, c.outcome, record, 3);
        ASSERT_EQ(failure.has_value(), c.message != nullptr) << c.written;
        if (failure) {
            EXPECT_EQ(failure->code, kExitJobFailed);
            EXPECT_NE(failure->message.find(c.message), std::string::npos) << failure->message;
        }
    }
}

TEST(CommandLine, HelpListsEveryExitCode) {
    const std::string usage = UsageText();
    for (const char* code :
         {"  0  ", "  1  ", "  2  ", "  3  ", "  4  ", "  5  ", "  6  ", "  7  "}) {
        EXPECT_NE(usage.find(code), std::string::npos) << code;
    }
}

}  // namespace
}  // namespace host
