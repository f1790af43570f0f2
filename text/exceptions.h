// The engine's exception family: every failure inside the engine travels as
// one of these, thrown by value and caught as QuillonException.
#pragma once

#include <string>

#include "platform/types.h"

// Root of the family. Message() is its only virtual operation and returns
// narrow text in the system's ANSI code page.
class QuillonException {
  public:
    virtual ~QuillonException() = default;
    virtual std::string Message() const;  // "Unknown exception."
};

// Carries its own fixed message, returned unchanged in every UI language.
class StringException : public QuillonException {
  public:
    explicit StringException(std::string message);
    std::string Message() const override;

  private:
    std::string message_;
};

// A failed COM status code; the message follows the current UI language.
class HResultException : public QuillonException {
  public:
    explicit HResultException(HRESULT hr);
    HRESULT Result() const;
    std::string Message() const override;

  private:
    HRESULT hr_;
};

// A failed system call: the function's name (may be empty) and its last-error
// value; the message follows the current UI language.
class SystemErrorException : public QuillonException {
  public:
    SystemErrorException(std::string function, DWORD error);
    const std::string& Function() const;
    DWORD Error() const;
    std::string Message() const override;

  private:
    std::string function_;
    DWORD error_;
};

// Throws HResultException(hr) when hr is a failure code.
void ThrowIfFailed(HRESULT hr);

// The one answer of a method at the COM boundary to the exception being
// handled: an HResultException's failure code (E_FAIL when it carries a
// success code), a SystemErrorException's status as HRESULT_FROM_WIN32 (E_FAIL
// for status 0), E_OUTOFMEMORY for std::bad_alloc, E_FAIL for anything else.
// Call it only from inside a catch block.
HRESULT HResultFromCaughtException() noexcept;

// Runs `body`, which returns an HRESULT, so that no exception leaves it: one
// that would is answered with HResultFromCaughtException().
template <typename Body>
HRESULT CallGuarded(Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return HResultFromCaughtException();
    }
}

// The message of any member of the family as wide text that reads correctly
// whatever the ANSI code page: localized texts are formatted from their wide
// form, everything else goes through the ANSI code page like Message().
std::u16string WideMessage(const QuillonException& error);
