#include "platform/locale.h"

#include <array>
#include <atomic>
#include <cstdlib>

namespace {

std::atomic<LCID> lcidOverride{0};

constexpr LCID kEnglishUnitedStates = 0x0409;

struct LocaleEntry {
    std::string_view name;  // "ll" or "ll_CC"
    LCID lcid;
};

// Countries with a locale identifier of their own come first; the plain
// language entry is the default for every other country.
constexpr std::array<LocaleEntry, 60> kLocales = {{
    {"de_AT", 0x0C07}, {"de_CH", 0x0807}, {"de_LU", 0x1007}, {"en_AU", 0x0C09}, {"en_CA", 0x1009},
    {"en_GB", 0x0809}, {"en_IE", 0x1809}, {"en_NZ", 0x1409}, {"es_MX", 0x080A}, {"fr_BE", 0x080C},
    {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C}, {"it_CH", 0x0810}, {"nl_BE", 0x0813}, {"pt_PT", 0x0816},
    {"zh_HK", 0x0C04}, {"zh_MO", 0x1404}, {"zh_SG", 0x1004}, {"zh_TW", 0x0404}, {"ar", 0x0401},
    {"bg", 0x0402},    {"ca", 0x0403},    {"zh", 0x0804},    {"cs", 0x0405},    {"da", 0x0406},
    {"de", 0x0407},    {"el", 0x0408},    {"en", 0x0409},    {"es", 0x0C0A},    {"fi", 0x040B},
    {"fr", 0x040C},    {"he", 0x040D},    {"hu", 0x040E},    {"is", 0x040F},    {"it", 0x0410},
    {"ja", 0x0411},    {"ko", 0x0412},    {"nl", 0x0413},    {"nb", 0x0414},    {"no", 0x0414},
    {"pl", 0x0415},    {"pt", 0x0416},    {"ro", 0x0418},    {"ru", 0x0419},    {"hr", 0x041A},
    {"sk", 0x041B},    {"sv", 0x041D},    {"th", 0x041E},    {"tr", 0x041F},    {"ur", 0x0420},
    {"id", 0x0421},    {"uk", 0x0422},    {"be", 0x0423},    {"sl", 0x0424},    {"et", 0x0425},
    {"lv", 0x0426},    {"lt", 0x0427},    {"fa", 0x0429},    {"vi", 0x042A},    {"ps", 0x0463},
}};

}  // namespace

std::string LocaleEnvironmentName() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return {};
}

LCID LcidFromLocaleName(std::string_view name) {
    // "language[_COUNTRY][.codeset][@modifier]"
    name = name.substr(0, name.find_first_of(".@"));
    const std::string_view language = name.substr(0, name.find('_'));
    for (const LocaleEntry& entry : kLocales) {
        if (entry.name == name)
            return entry.lcid;
    }
    for (const LocaleEntry& entry : kLocales) {
        if (entry.name == language)
            return entry.lcid;
    }
    if (language == "fil" || language == "tl")
        return 0x0464;
    return kEnglishUnitedStates;
}

LCID GetUserDefaultLCID() {
    if (const LCID lcid = lcidOverride.load())
        return lcid;
    return LcidFromLocaleName(LocaleEnvironmentName());
}

void SetUserDefaultLCIDForTesting(LCID lcid) {
    lcidOverride.store(lcid);
}
