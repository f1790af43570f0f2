#include "text/messages.h"

#include <array>

namespace {

// One language's three texts, as the fixed ANSI bytes that Message() returns
// and as wide text. "%s" takes the function name; "%x" prints the code in
// lower-case hex, "%d" as a signed decimal.
struct MessageTexts {
    LanguageId language;
    const char* failedCall;
    const char* systemError;
    const char* hresult;
    const char16_t* failedCallWide;
    const char16_t* systemErrorWide;
    const char16_t* hresultWide;
};

// The first row is also the fallback for every language without texts.
constexpr std::array<MessageTexts, 8> kTexts = {{
    {LanguageId::English, "Error when calling %s, error = %x.", "System error, error = %x.",
     "System error, hresult = %x.", u"Error when calling %s, error = %x.",
     u"System error, error = %x.", u"System error, hresult = %x."},
    // Code page 936 bytes of "当呼叫%s出现错误, 错误 = %x." and "系统错误, hresult = %x.";
    // the plain system error stays English.
    {LanguageId::Chinese,
     "\xB5\xB1\xBA\xF4\xBD\xD0"
     "%s"
     "\xB3\xF6\xCF\xD6\xB4\xED\xCE\xF3"
     ", "
     "\xB4\xED\xCE\xF3"
     " = %x.",
     "System error, error = %x.",
     "\xCF\xB5\xCD\xB3\xB4\xED\xCE\xF3"
     ", hresult = %x.",
     u"\u5F53\u547C\u53EB%s\u51FA\u73B0\u9519\u8BEF, \u9519\u8BEF = %x.",
     u"System error, error = %x.", u"\u7CFB\u7EDF\u9519\u8BEF, hresult = %x."},
    {LanguageId::Dutch, "Fout tijdens het aanroepen %s, fout = %d.", "System fout, fout = %d.",
     "Systeem fout, hresult = %d.", u"Fout tijdens het aanroepen %s, fout = %d.",
     u"System fout, fout = %d.", u"Systeem fout, hresult = %d."},
    // Windows-1252 bytes: E8 is "è" ("système"), E9 is "é" ("résultat").
    {LanguageId::French, "Erreur en cours d'appel %s, erreur = %d.",
     "Erreur syst\xE8"
     "me, erreur = %d.",
     "Erreur syst\xE8"
     "me, r\xE9"
     "sultat = %d.",
     u"Erreur en cours d'appel %s, erreur = %d.", u"Erreur syst\u00E8me, erreur = %d.",
     u"Erreur syst\u00E8me, r\u00E9sultat = %d."},
    {LanguageId::German, "Fehler beim Aufruf von %s, Fehler = %d.", "Systemfehler, Fehler = %d.",
     "Systemfehler, hresult = %d.", u"Fehler beim Aufruf von %s, Fehler = %d.",
     u"Systemfehler, Fehler = %d.", u"Systemfehler, hresult = %d."},
    {LanguageId::Italian, "Errore durante la chiamata di %s, errore = %d.",
     "Errore di sistema, errore = %d.", "Errore di sistema, hresult = %d.",
     u"Errore durante la chiamata di %s, errore = %d.", u"Errore di sistema, errore = %d.",
     u"Errore di sistema, hresult = %d."},
    {LanguageId::Portuguese, "Erro ao chamar %s, erro = %d.", "Erro de sistema, erro = %d.",
     "Erro de sistema, hresult = %d.", u"Erro ao chamar %s, erro = %d.",
     u"Erro de sistema, erro = %d.", u"Erro de sistema, hresult = %d."},
    {LanguageId::Spanish, "Error al llamar a %s, error = %d.", "Error del sistema, error = %d.",
     "Error del sistema, hresult = %d.", u"Error al llamar a %s, error = %d.",
     u"Error del sistema, error = %d.", u"Error del sistema, hresult = %d."},
}};

const MessageTexts& TextsFor(LanguageId language) {
    for (const MessageTexts& texts : kTexts) {
        if (texts.language == language)
            return texts;
    }
    return kTexts[0];
}

template <typename Char>
void AppendNumber(std::basic_string<Char>& out, std::uint32_t code, bool hex) {
    Char digits[12];
    Char* end = digits + sizeof digits / sizeof digits[0];
    Char* p = end;
    const bool negative = !hex && static_cast<std::int32_t>(code) < 0;
    // Unsigned negation keeps INT_MIN right.
    std::uint32_t value = negative ? 0u - code : code;
    const unsigned base = hex ? 16 : 10;
    do {
        const unsigned digit = value % base;
        *--p = static_cast<Char>(digit < 10 ? '0' + digit : 'a' + digit - 10);
        value /= base;
    } while (value != 0);
    if (negative)
        *--p = static_cast<Char>('-');
    out.append(p, end);
}

// Expands the one "%s" and the one "%x"/"%d" of a text; the result is cut to
// the longest message, as a fixed buffer would cut it.
template <typename Char>
std::basic_string<Char> Expand(const Char* text, std::basic_string_view<Char> function,
                               std::uint32_t code) {
    std::basic_string<Char> out;
    for (const Char* p = text; *p; ++p) {
        if (*p == '%' && (p[1] == 's' || p[1] == 'x' || p[1] == 'd')) {
            ++p;
            if (*p == 's') {
                out.append(function.substr(0, kMaxMessageLength + 1));
            } else {
                AppendNumber(out, code, *p == 'x');
            }
        } else {
            out.push_back(*p);
        }
    }
    if (out.size() > kMaxMessageLength)
        out.resize(kMaxMessageLength);
    return out;
}

}  // namespace

std::string FormatLocalizedMessage(MessageKind kind, LanguageId language, std::string_view function,
                                   std::uint32_t code) {
    const MessageTexts& texts = TextsFor(language);
    switch (kind) {
        case MessageKind::FailedCall:
            return Expand(texts.failedCall, function, code);
        case MessageKind::SystemError:
            return Expand(texts.systemError, {}, code);
        case MessageKind::HResult:
            break;
    }
    return Expand(texts.hresult, {}, code);
}

std::u16string FormatLocalizedMessageWide(MessageKind kind, LanguageId language,
                                          std::u16string_view function, std::uint32_t code) {
    const MessageTexts& texts = TextsFor(language);
    switch (kind) {
        case MessageKind::FailedCall:
            return Expand(texts.failedCallWide, function, code);
        case MessageKind::SystemError:
            return Expand(texts.systemErrorWide, {}, code);
        case MessageKind::HResult:
            break;
    }
    return Expand(texts.hresultWide, {}, code);
}
