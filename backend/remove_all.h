// Removal of every occurrence of a mark, including those that only appear once
// other occurrences have been taken out.
#pragma once

#include <string>
#include <string_view>

// The result of repeatedly deleting the leftmost occurrence of `pattern` until
// none is left, computed in one pass (time linear in the text). An empty
// pattern leaves the text unchanged.
std::u16string RemoveAll(std::u16string_view text, std::u16string_view pattern);

// The same, done on `text` itself: no second copy of a large text. The
// pattern must not lie inside `text`.
void RemoveAllInPlace(std::u16string& text, std::u16string_view pattern);
