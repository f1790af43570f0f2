// One code unit at a time: the loops for processors without vectors, and the
// tails of the vector loops.
#include "text/xml_escape_kernels.h"
#include "text/xml_escape_rule.h"

namespace xml_escape {
namespace {

const char16_t* FindScalar(const char16_t* p, const char16_t* stop) {
    while (p != stop && !NeedsReplacing(*p))
        ++p;
    return p;
}

char16_t* EscapeScalar(const char16_t* p, const char16_t* stop, const char16_t* /*readEnd*/,
                       char16_t* out) {
    for (; p != stop; ++p) {
        const char16_t c = *p;
        if (NeedsReplacing(c)) {
            out = PutReplacement(c, out);
        } else {
            *out++ = c;
        }
    }
    return out;
}

constexpr Kernels kScalar{"scalar", FindScalar, EscapeScalar};

}  // namespace

const Kernels& ScalarKernels() {
    return kScalar;
}

}  // namespace xml_escape
