#include "backend/feature_labels.h"

// Held as wide text rather than as 8-bit text per code page: on a system whose
// ANSI code page matches a label's language the result is the same, and on
// any other system the label still reads right instead of being garbled by
// the wrong code page.
FeatureLabels FeatureLabelsFor(LanguageId language) {
    switch (language) {
        case LanguageId::Chinese:
            return {u"输入", u"识别邮件前缀引用 (e.g. '>>>')"};
        case LanguageId::Dutch:
            return {u"Invoer", u"Herken email voorvoegsel quoting (e.g. '>>>')"};
        case LanguageId::French:
            return {u"Entrée", u"Reconnaître les caractères de préfixe email (ex. >>>)"};
        case LanguageId::German:
            return {u"Eingabe", u"Email-Zitaten-Präfix erkennen (z.B. '>>>')"};
        case LanguageId::Italian:
            return {u"Input",
                    u"Riconoscimento virgolette dei prefissi di posta elettronica (es. '>>>')"};
        case LanguageId::Portuguese:
            return {u"Entrada", u"Reconhecer prefixo de e-mail (por exemplo \">>>\")"};
        case LanguageId::Spanish:
            return {u"Entrada",
                    u"Reconocer comillas de prefijo de correo electrónico (por ej. '>>>')"};
        default:
            return {u"Input", u"Recognize email prefix quoting (e.g. '>>>')"};
    }
}
