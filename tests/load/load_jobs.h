// The jobs of the load tests: mixed sizes, each chunk tagged with a word the
// back end does not know (so it comes back unchanged) that names its client,
// job and chunk. A result that went to the wrong job or chunk cannot match.
#pragma once

#include <array>
#include <string>
#include <utility>
#include <vector>

namespace load {

struct Job {
    std::vector<std::u16string> chunks;
    std::vector<std::u16string> expected;  // the markup of each chunk
};

// Sizes by job number: six in ten are one short chunk, three are three chunks
// of sixty words, one is two chunks of four thousand words (about 40 kB each).
inline Job MakeJob(int client, int index) {
    static constexpr std::array<std::pair<const char16_t*, const char16_t*>, 5> kWords{{
        {u"مرحبا", u"hello"},
        {u"عالم", u"world"},
        {u"كتاب", u"book"},
        {u"بيت", u"house"},
        {u"و", u"and"},
    }};
    const int kind = index % 10;
    const int chunkCount = kind < 6 ? 1 : kind < 9 ? 3 : 2;
    const int wordCount = kind < 6 ? 3 : kind < 9 ? 60 : 4000;

    Job job;
    unsigned seed = static_cast<unsigned>(client * 7919 + index * 104729 + 1);
    for (int c = 0; c < chunkCount; ++c) {
        // e.g. "c3jbak1": client 3, job 27, chunk 1.
        std::u16string tag;
        tag.push_back(u'c');
        tag.push_back(static_cast<char16_t>(u'0' + client % 10));
        tag.push_back(u'j');
        tag.push_back(static_cast<char16_t>(u'a' + index % 26));
        tag.push_back(static_cast<char16_t>(u'a' + index / 26 % 26));
        tag.push_back(u'k');
        tag.push_back(static_cast<char16_t>(u'0' + c));
        std::u16string source = tag;
        std::u16string translation = tag;
        for (int w = 0; w < wordCount; ++w) {
            seed = seed * 1103515245u + 12345u;
            const auto& word = kWords[(seed >> 16) % kWords.size()];
            source += u' ';
            source += word.first;
            translation += u' ';
            translation += word.second;
        }
        job.chunks.push_back(std::move(source));
        std::u16string markup = u"<Translation>";
        markup.append(translation).append(u"</Translation>\n");
        job.expected.push_back(std::move(markup));
    }
    return job;
}

// Empty when the job's sink received exactly the expected markup and one
// completion with 1; otherwise what went wrong.
inline std::string CheckJob(const Job& job, const std::vector<std::u16string>& written,
                            const std::vector<int>& completions) {
    if (completions != std::vector<int>{1}) {
        return "completion flags: " + std::to_string(completions.size()) + " call(s)" +
               (completions.empty() ? "" : ", first " + std::to_string(completions[0]));
    }
    if (written.size() != job.expected.size()) {
        return "chunks written: " + std::to_string(written.size()) + " of " +
               std::to_string(job.expected.size());
    }
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] != job.expected[i]) {
            return "chunk " + std::to_string(i) + " differs (" + std::to_string(written[i].size()) +
                   " units, expected " + std::to_string(job.expected[i].size()) + ")";
        }
    }
    return {};
}

}  // namespace load
