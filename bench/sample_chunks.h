// The short chunks of the per-chunk benchmarks: three Arabic words and a
// number the back end does not know, so that each answer carries a mark.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace bench {

inline constexpr std::size_t kJobChunks = 1000;

// The same chunks, in the same order, natively and under Wine.
const std::vector<std::u16string>& JobChunks();

}  // namespace bench
