#include "server/engine_dispatch.h"

#include "platform/wide.h"

namespace server {

std::u16string FoldMemberName(const OLECHAR* name) {
    std::u16string folded;
    for (const char16_t* p = FromPlatform(name); *p != 0; ++p) {
        folded += (*p >= u'a' && *p <= u'z') ? static_cast<char16_t>(*p - u'a' + u'A') : *p;
    }
    return folded;
}

}  // namespace server
