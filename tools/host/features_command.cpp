// `features`: the engine's features document, readable or as sent.
#include "platform/unique_bstr.h"
#include "tools/host/commands.h"
#include "tools/host/engine_activation.h"
#include "tools/host/engine_registry.h"
#include "tools/host/exit_codes.h"
#include "tools/host/features_view.h"
#include "tools/host/utf8_text.h"

namespace host {
namespace {

// Features do not depend on the direction: any entry of this program will do.
std::string FeaturesProgId(const HostOptions& options) {
    if (!options.progId.empty()) {
        return options.progId;
    }
    for (const EngineEntry& entry : ReadEngineList().entries) {
        if (entry.IsThisProgram()) {
            return entry.progId;
        }
    }
    return kDefaultProgId;
}

}  // namespace

int RunFeatures(const HostOptions& options, HostIo& io) {
    const std::string progId = FeaturesProgId(options);
    Activation activation = ActivateEngine(progId);
    if (activation.error != ActivationError::None) {
        Complain(io, activation.message);
        return activation.error == ActivationError::NotRegistered ? kExitNotRegistered
                                                                  : kExitActivationFailed;
    }
    std::u16string optionsText;
    if (!options.ui.empty()) {
        optionsText = u"<t:Option Name=\"UILanguage\">" +
                      std::u16string(options.ui.begin(), options.ui.end()) + u"</t:Option>";
    }
    UniqueBstr request = CopyToBstr(optionsText);
    UniqueBstr document;
    const HRESULT result = activation.engine->get_Features(request.get(), document.put());
    if (FAILED(result)) {
        Complain(io, "the engine's Features call failed with " + HresultText(result));
        return kExitActivationFailed;
    }
    const std::u16string_view text =
        document ? std::u16string_view(FromPlatform(document.get()), SysStringLen(document.get()))
                 : std::u16string_view();
    if (options.raw) {
        io.out << EncodeUtf8(text);
    } else {
        io.out << "Features of " << progId;
        if (!options.ui.empty()) {
            io.out << " (interface language " << options.ui << ")";
        }
        io.out << '\n' << EncodeUtf8(RenderFeatures(text));
    }
    io.out << std::flush;
    return kExitOk;
}

}  // namespace host
