#include "tools/host/engine_activation.h"

#include <cstdio>
#include <mutex>

#include "platform/com_server.h"
#include "platform/wide.h"

#ifndef _WIN32
#include "server/exe_module.h"
#endif

namespace host {
namespace {

#ifdef _WIN32
constexpr char kRegisterHint[] = "register the server with \"Vorla Hybrid Engine.exe\" /RegServer";
#else
constexpr char kRegisterHint[] = "register the server with vorla-hybrid-engine /RegServer";
#endif

constexpr HRESULT kServerExecFailure = static_cast<HRESULT>(0x80080005u);
constexpr HRESULT kServerUnavailable = static_cast<HRESULT>(0x800706BAu);

std::string FailureHint(HRESULT result) {
    switch (result) {
        case REGDB_E_CLASSNOTREG:
            return "the class is not registered; " + std::string(kRegisterHint);
        case kServerExecFailure:
            return "the server program could not be started; check its path under LocalServer32";
        case kServerUnavailable:
            return "the server is unavailable; a server that was killed may have left its "
                   "registration behind";
        case E_NOINTERFACE:
            return "the server does not offer IQNSTranslationEngine; is its type library "
                   "registered?";
        default:
            return "";
    }
}

}  // namespace

ComApartment::ComApartment() : result_(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}

ComApartment::~ComApartment() {
    if (SUCCEEDED(result_)) {
        CoUninitialize();
    }
}

std::string HresultText(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(result));
    return text;
}

Activation ActivateEngine(const std::string& progId) {
    Activation activation;
    std::u16string wideProgId(progId.begin(), progId.end());
    CLSID clsid = {};
    activation.result = CLSIDFromProgID(ToPlatform(wideProgId.c_str()), &clsid);
    if (FAILED(activation.result)) {
        activation.error = ActivationError::NotRegistered;
        activation.message = "the engine is not registered: ProgID \"" + progId +
                             "\" is unknown (" + HresultText(activation.result) + "); " +
                             kRegisterHint;
        return activation;
    }
#ifndef _WIN32
    // Natively the engine runs in this process: publish its class object once.
    static std::once_flag published;
    std::call_once(published, [] { server::Module().RegisterClassObjects(); });
#endif
    activation.result = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER,
                                         kIidIQNSTranslationEngine, activation.engine.put_void());
    if (FAILED(activation.result) || !activation.engine) {
        activation.error = ActivationError::Failed;
        activation.message = "the engine could not be created: ProgID \"" + progId + "\", class " +
                             GuidToRegistryString(clsid) + ", " + HresultText(activation.result);
        const std::string hint = FailureHint(activation.result);
        if (!hint.empty()) {
            activation.message += "; " + hint;
        }
        activation.engine.reset();
    }
    return activation;
}

}  // namespace host
