#include "bench/sample_text.h"

#include <cstdint>

namespace bench {
namespace {

// Small, fast and fully determined by its seed; quality is beside the point.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint32_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return static_cast<std::uint32_t>(state_ >> 16);
    }
    std::uint32_t Below(std::uint32_t bound) { return Next() % bound; }

  private:
    std::uint64_t state_;
};

constexpr char16_t kAccented[] =
    u"\u00E9\u00E8\u00E0\u00E7\u00FC\u00F6\u00E4\u00DF\u00F1\u00EA"
    u"\u00F4\u00FB\u00EE\u00EF\u00E2\u0153";

// Arabic letters U+0621 to U+063A and U+0641 to U+064A.
char16_t ArabicLetter(Random& random) {
    const std::uint32_t pick = random.Below(26 + 10);
    return static_cast<char16_t>(pick < 26 ? 0x0621 + pick : 0x0641 + (pick - 26));
}

// Appends one word or separator at a time until the buffer is full.
class Writer {
  public:
    Writer(char16_t* out, std::size_t units) : out_(out), end_(out + units) {}
    bool Full() const { return out_ == end_; }
    void Put(char16_t unit) {
        if (out_ != end_) {
            *out_++ = unit;
        }
    }

  private:
    char16_t* out_;
    char16_t* end_;
};

void WriteWord(Script script, Random& random, Writer& writer) {
    switch (script) {
        case Script::Ascii:
        case Script::Latin: {
            const std::uint32_t length = 1 + random.Below(9);
            for (std::uint32_t i = 0; i < length; ++i) {
                if (script == Script::Latin && random.Below(12) == 0) {
                    writer.Put(kAccented[random.Below(sizeof kAccented / 2 - 1)]);
                } else {
                    writer.Put(static_cast<char16_t>(u'a' + random.Below(26)));
                }
            }
            return;
        }
        case Script::Arabic: {
            if (random.Below(40) == 0) {
                writer.Put(static_cast<char16_t>(u'0' + random.Below(10)));
                writer.Put(static_cast<char16_t>(u'0' + random.Below(10)));
                return;
            }
            const std::uint32_t length = 2 + random.Below(6);
            for (std::uint32_t i = 0; i < length; ++i) {
                writer.Put(ArabicLetter(random));
            }
            return;
        }
        case Script::Chinese: {
            // No blanks between words: a clause of ideographs.
            const std::uint32_t length = 6 + random.Below(20);
            for (std::uint32_t i = 0; i < length; ++i) {
                writer.Put(static_cast<char16_t>(0x4E00 + random.Below(0x9FA5 - 0x4E00)));
            }
            if (random.Below(15) == 0) {
                writer.Put(static_cast<char16_t>(u'0' + random.Below(10)));
            }
            return;
        }
    }
}

void WriteSeparator(Script script, Random& random, Writer& writer) {
    const std::uint32_t pick = random.Below(100);
    switch (script) {
        case Script::Ascii:
        case Script::Latin:
            if (pick < 6) {
                writer.Put(u',');
            } else if (pick < 10) {
                writer.Put(u'.');
            }
            writer.Put(pick == 99 ? u'\n' : u' ');
            return;
        case Script::Arabic:
            if (pick < 5) {
                writer.Put(u'\u060C');  // Arabic comma
            } else if (pick < 9) {
                writer.Put(u'.');
            }
            writer.Put(pick == 99 ? u'\n' : u' ');
            return;
        case Script::Chinese:
            writer.Put(pick < 70 ? u'\uFF0C' : u'\u3002');  // full-width comma, full stop
            if (pick >= 97) {
                writer.Put(u'\n');
            }
            return;
    }
}

}  // namespace

std::string_view ScriptName(Script script) {
    switch (script) {
        case Script::Ascii:
            return "ascii";
        case Script::Latin:
            return "latin";
        case Script::Arabic:
            return "arabic";
        case Script::Chinese:
            return "chinese";
    }
    return "unknown";
}

void FillSampleText(Script script, char16_t* out, std::size_t units) {
    Random random(0x5EED0000u + static_cast<std::uint64_t>(script));
    Writer writer(out, units);
    while (!writer.Full()) {
        WriteWord(script, random, writer);
        WriteSeparator(script, random, writer);
    }
}

std::u16string SampleText(Script script, std::size_t units) {
    std::u16string text(units, u' ');
    FillSampleText(script, text.data(), units);
    return text;
}

std::u16string MarkupText(std::size_t units, unsigned perMille) {
    static constexpr char16_t kReplaced[] = u"<<<<>>>>&&\u0001\u001B";
    std::u16string text = SampleText(Script::Latin, units);
    Random random(0xE5CA9Eu);
    for (char16_t& unit : text) {
        if (random.Below(1000) < perMille) {
            unit = kReplaced[random.Below(sizeof kReplaced / 2 - 1)];
        }
    }
    return text;
}

std::u16string MarkedAnswer(std::size_t units, std::size_t marks) {
    constexpr std::u16string_view kOpen = u"<unk> ";
    constexpr std::u16string_view kClose = u" </unk>";
    Random random(0xA115u);
    std::u16string text;
    text.reserve(units + 32);
    std::size_t placed = 0;
    while (text.size() < units) {
        // Keep the marks placed so far in step with the share of text written.
        const bool wrap = placed * units < marks * text.size() + marks;
        if (wrap) {
            text += kOpen;
        }
        const std::uint32_t length = 1 + random.Below(9);
        for (std::uint32_t i = 0; i < length; ++i) {
            text.push_back(static_cast<char16_t>(u'a' + random.Below(26)));
        }
        if (wrap) {
            text += kClose;
            placed += 2;
        }
        text.push_back(u' ');
    }
    text.resize(units);
    return text;
}

}  // namespace bench
