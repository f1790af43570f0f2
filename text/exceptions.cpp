#include "text/exceptions.h"

#include <new>
#include <utility>

#include "text/code_pages.h"
#include "text/messages.h"
#include "text/ui_language.h"

std::string QuillonException::Message() const {
    return "Unknown exception.";
}

StringException::StringException(std::string message) : message_(std::move(message)) {}

std::string StringException::Message() const {
    return message_;
}

HResultException::HResultException(HRESULT hr) : hr_(hr) {}

HRESULT HResultException::Result() const {
    return hr_;
}

std::string HResultException::Message() const {
    return FormatLocalizedMessage(MessageKind::HResult, currentUiLanguage.load(), {},
                                  static_cast<std::uint32_t>(hr_));
}

SystemErrorException::SystemErrorException(std::string function, DWORD error)
    : function_(std::move(function)), error_(error) {}

const std::string& SystemErrorException::Function() const {
    return function_;
}

DWORD SystemErrorException::Error() const {
    return error_;
}

std::string SystemErrorException::Message() const {
    const MessageKind kind = function_.empty() ? MessageKind::SystemError : MessageKind::FailedCall;
    return FormatLocalizedMessage(kind, currentUiLanguage.load(), function_,
                                  static_cast<std::uint32_t>(error_));
}

void ThrowIfFailed(HRESULT hr) {
    if (FAILED(hr))
        throw HResultException(hr);
}

HRESULT HResultFromCaughtException() noexcept {
    try {
        throw;
    } catch (const HResultException& error) {
        return FAILED(error.Result()) ? error.Result() : E_FAIL;
    } catch (const SystemErrorException& error) {
        return error.Error() != 0 ? HRESULT_FROM_WIN32(error.Error()) : E_FAIL;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

std::u16string WideMessage(const QuillonException& error) {
    if (const auto* hr = dynamic_cast<const HResultException*>(&error)) {
        return FormatLocalizedMessageWide(MessageKind::HResult, currentUiLanguage.load(), {},
                                          static_cast<std::uint32_t>(hr->Result()));
    }
    if (const auto* system = dynamic_cast<const SystemErrorException*>(&error)) {
        const MessageKind kind =
            system->Function().empty() ? MessageKind::SystemError : MessageKind::FailedCall;
        return FormatLocalizedMessageWide(kind, currentUiLanguage.load(),
                                          AnsiToWide(system->Function()),
                                          static_cast<std::uint32_t>(system->Error()));
    }
    return AnsiToWide(error.Message());
}
