// Word-by-word translation for the demo back end: phrases first (longest
// match), numbers and punctuation kept, unknown words marked as the real back
// end marks them ("<unk> word </unk>").
#pragma once

#include <string>
#include <string_view>

#include "tools/demo_backend/dictionary.h"

namespace demo_backend {

// `sourceLanguage` enables its small word-prefix rules (Arabic "wa-", "al-");
// `capitalizeTarget` upper-cases a translated word that begins a sentence,
// for targets written with letter case.
std::string TranslateText(const Dictionary& dictionary, std::string_view sourceLanguage,
                          bool capitalizeTarget, std::string_view text);

}  // namespace demo_backend
