#include "platform/code_page.h"

#include <errno.h>
#include <iconv.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/locale.h"

namespace {

std::atomic<UINT> ansiCodePageOverride{0};

constexpr DWORD WC_NO_BEST_FIT_CHARS = 0x400;

#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
constexpr const char* kUtf16 = "UTF-16LE";
#else
constexpr const char* kUtf16 = "UTF-16BE";
#endif

// iconv's name for each Windows code page it knows the same way.
const char* IconvName(UINT codePage) {
    switch (codePage) {
        case 37:
            return "IBM037";
        case 437:
            return "IBM437";
        case 500:
            return "IBM500";
        case 737:
            return "CP737";
        case 775:
            return "CP775";
        case 850:
            return "CP850";
        case 852:
            return "CP852";
        case 855:
            return "CP855";
        case 857:
            return "CP857";
        case 858:
            return "CP858";
        case 860:
            return "CP860";
        case 861:
            return "CP861";
        case 862:
            return "CP862";
        case 863:
            return "CP863";
        case 864:
            return "CP864";
        case 865:
            return "CP865";
        case 866:
            return "CP866";
        case 869:
            return "CP869";
        case 874:
            return "CP874";
        case 875:
            return "CP875";
        case 932:
            return "CP932";
        case 936:
            return "CP936";
        case 949:
            return "CP949";
        case 950:
            return "CP950";
        case 1026:
            return "IBM1026";
        case 1047:
            return "IBM1047";
        case 1250:
            return "CP1250";
        case 1251:
            return "CP1251";
        case 1252:
            return "CP1252";
        case 1253:
            return "CP1253";
        case 1254:
            return "CP1254";
        case 1255:
            return "CP1255";
        case 1256:
            return "CP1256";
        case 1257:
            return "CP1257";
        case 1258:
            return "CP1258";
        case 1361:
            return "JOHAB";
        case 10000:
            return "MACINTOSH";
        case 10007:
            return "MAC-CYRILLIC";
        case 10029:
            return "MAC-CENTRALEUROPE";
        case 20127:
            return "ANSI_X3.4-1968";
        case 20866:
            return "KOI8-R";
        case 20932:
            return "EUC-JP";
        case 20936:
            return "GB2312";
        case 21866:
            return "KOI8-U";
        case 28591:
            return "ISO-8859-1";
        case 28592:
            return "ISO-8859-2";
        case 28593:
            return "ISO-8859-3";
        case 28594:
            return "ISO-8859-4";
        case 28595:
            return "ISO-8859-5";
        case 28596:
            return "ISO-8859-6";
        case 28597:
            return "ISO-8859-7";
        case 28598:
            return "ISO-8859-8";
        case 28599:
            return "ISO-8859-9";
        case 28603:
            return "ISO-8859-13";
        case 28605:
            return "ISO-8859-15";
        case 50220:
            return "ISO-2022-JP";
        case 50225:
            return "ISO-2022-KR";
        case 51932:
            return "EUC-JP";
        case 51936:
            return "EUC-CN";
        case 51949:
            return "EUC-KR";
        case 54936:
            return "GB18030";
        case CP_UTF7:
            return "UTF-7";
        case CP_UTF8:
            return "UTF-8";
        default:
            return nullptr;
    }
}

bool IsUnicodePage(UINT codePage) {
    return codePage == CP_UTF7 || codePage == CP_UTF8;
}

// Code pages whose characters take more than one byte. An undecodable byte
// there becomes the page's default character (U+30FB in 932, else U+003F), in
// a single-byte page the code unit of its own value. Windows maps some of the
// latter to private-use units instead; only invalid input sees the difference.
bool IsMultiBytePage(UINT codePage) {
    switch (codePage) {
        case 932:
        case 936:
        case 949:
        case 950:
        case 1361:
        case 20932:
        case 20936:
        case 50220:
        case 50225:
        case 51932:
        case 51936:
        case 51949:
        case 54936:
            return true;
        default:
            return IsUnicodePage(codePage);
    }
}

UINT ResolveCodePage(UINT codePage) {
    if (codePage == CP_ACP || codePage == CP_THREAD_ACP)
        return GetACP();
    if (codePage == CP_OEMCP)
        return GetOEMCP();
    if (codePage == 2)
        return 10000;  // CP_MACCP
    return codePage;
}

// iconv descriptors are costly to open and may not be shared between
// threads: each thread keeps the ones it has used.
class IconvCache {
  public:
    IconvCache() = default;
    IconvCache(const IconvCache&) = delete;
    IconvCache& operator=(const IconvCache&) = delete;
    ~IconvCache() {
        for (const Entry& entry : entries_)
            iconv_close(entry.descriptor);
    }

    // A descriptor reset to its initial state, or nullptr.
    iconv_t Get(UINT codePage, bool toWide) {
        for (const Entry& entry : entries_) {
            if (entry.codePage == codePage && entry.toWide == toWide) {
                iconv(entry.descriptor, nullptr, nullptr, nullptr, nullptr);
                return entry.descriptor;
            }
        }
        const char* name = IconvName(codePage);
        if (!name)
            return nullptr;
        iconv_t descriptor = toWide ? iconv_open(kUtf16, name) : iconv_open(name, kUtf16);
        if (descriptor == reinterpret_cast<iconv_t>(-1))
            return nullptr;
        entries_.push_back({codePage, toWide, descriptor});
        return descriptor;
    }

  private:
    struct Entry {
        UINT codePage;
        bool toWide;
        iconv_t descriptor;
    };
    std::vector<Entry> entries_;
};

IconvCache& Cache() {
    thread_local IconvCache cache;
    return cache;
}

// Converts all of the input. At each sequence iconv cannot convert,
// onInvalid(position, bytesLeft, out) appends a substitute and returns how
// many input bytes to skip, or 0 to give up (then the result is false).
template <typename OnInvalid>
bool RunIconv(iconv_t descriptor, const char* input, std::size_t size, std::string& out,
              OnInvalid onInvalid) {
    char* in = const_cast<char*>(input);  // iconv's signature; it does not write
    std::size_t inLeft = size;
    char chunk[1024];
    while (inLeft > 0) {
        char* o = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t result = iconv(descriptor, &in, &inLeft, &o, &outLeft);
        const int error = errno;
        out.append(chunk, static_cast<std::size_t>(o - chunk));
        if (result != static_cast<std::size_t>(-1) || error == E2BIG)
            continue;
        if (error != EILSEQ && error != EINVAL)
            return false;
        const std::size_t skip = onInvalid(in, inLeft, out);
        if (skip == 0)
            return false;
        in += skip;
        inLeft -= skip;
    }
    // Stateful encodings end with a shift back to their initial state.
    while (true) {
        char* o = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t result = iconv(descriptor, nullptr, nullptr, &o, &outLeft);
        const int error = errno;
        out.append(chunk, static_cast<std::size_t>(o - chunk));
        if (result != static_cast<std::size_t>(-1) || error != E2BIG)
            return true;
    }
}

void AppendUnit(std::string& out, char16_t unit) {
    out.append(reinterpret_cast<const char*>(&unit), sizeof unit);
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The OEM code page of the same language as the ANSI one.
UINT OemCodePageFor(UINT ansi, LCID lcid) {
    switch (ansi) {
        case 1250:
            return 852;
        case 1251:
            return 866;
        case 1252:
            return (lcid & 0x3FF) == 0x09 ? 437 : 850;
        case 1253:
            return 737;
        case 1254:
            return 857;
        case 1255:
            return 862;
        case 1256:
            return 720;
        case 1257:
            return 775;
        default:
            return ansi;
    }
}

UINT AnsiCodePageFor(LCID lcid) {
    switch (lcid & 0x3FF) {
        case 0x04:  // Chinese: traditional script in Taiwan, Hong Kong and Macao
            return lcid == 0x0404 || lcid == 0x0C04 || lcid == 0x1404 ? 950 : 936;
        case 0x11:
            return 932;
        case 0x12:
            return 949;
        case 0x1E:
            return 874;
        case 0x05:
        case 0x0E:
        case 0x15:
        case 0x18:
        case 0x1A:
        case 0x1B:
        case 0x24:
            return 1250;
        case 0x02:
        case 0x19:
        case 0x22:
        case 0x23:
            return 1251;
        case 0x08:
            return 1253;
        case 0x1F:
            return 1254;
        case 0x0D:
            return 1255;
        case 0x01:
        case 0x20:
        case 0x29:
        case 0x63:
            return 1256;
        case 0x25:
        case 0x26:
        case 0x27:
            return 1257;
        case 0x2A:
            return 1258;
        default:
            return 1252;
    }
}

}  // namespace

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
    if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
        (cchWideChar > 0 && !lpWideCharStr)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (dwFlags & ~MB_ERR_INVALID_CHARS) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    const UINT codePage = ResolveCodePage(CodePage);
    iconv_t descriptor = Cache().Get(codePage, true);
    if (!descriptor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const std::size_t size =
        cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte);
    const char16_t substitute = IsUnicodePage(codePage)     ? u'\uFFFD'
                                : codePage == 932           ? u'\u30FB'
                                : IsMultiBytePage(codePage) ? u'?'
                                                            : 0;
    std::string bytes;
    const bool converted =
        RunIconv(descriptor, lpMultiByteStr, size, bytes,
                 [&](const char* at, std::size_t, std::string& out) -> std::size_t {
                     if (dwFlags & MB_ERR_INVALID_CHARS)
                         return 0;
                     AppendUnit(out, substitute ? substitute : static_cast<unsigned char>(*at));
                     return 1;
                 });
    if (!converted) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    const std::size_t units = bytes.size() / sizeof(char16_t);
    if (units > INT_MAX) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (cchWideChar == 0)
        return static_cast<int>(units);
    if (units > static_cast<std::size_t>(cchWideChar)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpWideCharStr, bytes.data(), units * sizeof(char16_t));
    return static_cast<int>(units);
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        LPBOOL lpUsedDefaultChar) {
    const UINT codePage = ResolveCodePage(CodePage);
    if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
        (cbMultiByte > 0 && !lpMultiByteStr) ||
        (IsUnicodePage(codePage) && (lpDefaultChar || lpUsedDefaultChar))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const DWORD allowed = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    if (dwFlags & ~allowed) {
        SetLastError(ERROR_INVALID_FLAGS);
        return 0;
    }
    iconv_t descriptor = Cache().Get(codePage, false);
    if (!descriptor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t units = 0;
    if (cchWideChar == -1) {
        while (lpWideCharStr[units])
            ++units;
        ++units;
    } else {
        units = static_cast<std::size_t>(cchWideChar);
    }
    if (lpUsedDefaultChar)
        *lpUsedDefaultChar = FALSE;

    std::string bytes;
    const bool converted = RunIconv(
        descriptor, reinterpret_cast<const char*>(lpWideCharStr), units * sizeof(char16_t), bytes,
        [&](const char* at, std::size_t left, std::string& out) -> std::size_t {
            if (dwFlags & WC_ERR_INVALID_CHARS)
                return 0;
            char16_t unit[2] = {};
            std::memcpy(unit, at, left >= 4 ? 4 : 2);
            if (codePage == CP_UTF8) {
                out.append("\xEF\xBF\xBD");  // U+FFFD for a lone surrogate
            } else if (codePage == CP_UTF7) {
                out.append("+//0-");
            } else {
                out.push_back(lpDefaultChar ? *lpDefaultChar : '?');
                if (lpUsedDefaultChar)
                    *lpUsedDefaultChar = TRUE;
            }
            const bool pair = left >= 4 && IsHighSurrogate(unit[0]) && IsLowSurrogate(unit[1]);
            return pair ? 4 : 2;
        });
    if (!converted) {
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    }
    if (bytes.size() > INT_MAX) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (cbMultiByte == 0)
        return static_cast<int>(bytes.size());
    if (bytes.size() > static_cast<std::size_t>(cbMultiByte)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(lpMultiByteStr, bytes.data(), bytes.size());
    return static_cast<int>(bytes.size());
}

UINT GetACP() {
    if (const UINT codePage = ansiCodePageOverride.load())
        return codePage;
    return AnsiCodePageFor(LcidFromLocaleName(LocaleEnvironmentName()));
}

UINT GetOEMCP() {
    const LCID lcid = LcidFromLocaleName(LocaleEnvironmentName());
    return OemCodePageFor(GetACP(), lcid);
}

void SetAnsiCodePageForTesting(UINT codePage) {
    ansiCodePageOverride.store(codePage);
}
