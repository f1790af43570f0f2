// Deterministic sample texts for the benchmarks: the same code units on every
// run and machine, so that figures taken on different days compare.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bench {

enum class Script { Ascii, Latin, Arabic, Chinese };

std::string_view ScriptName(Script script);

// Prose-like text of exactly `units` code units: words, blanks, punctuation
// and line breaks. Latin has about one accented letter in twelve; Arabic and
// Chinese are mostly two- and three-byte UTF-8 with ASCII blanks and digits.
// Nothing in it needs XML escaping and it holds no zero unit.
std::u16string SampleText(Script script, std::size_t units);

// The same text written into a caller's buffer (no temporary copy).
void FillSampleText(Script script, char16_t* out, std::size_t units);

// Prose in which about `perMille` of every thousand code units need escaping
// as XML content ("<", ">", "&" and now and then a control character).
std::u16string MarkupText(std::size_t units, unsigned perMille);

// A back-end answer of exactly `units` code units in which unknown words come
// wrapped as "<unk> word </unk>", about `marks` marks in all (two per word).
std::u16string MarkedAnswer(std::size_t units, std::size_t marks);

}  // namespace bench
