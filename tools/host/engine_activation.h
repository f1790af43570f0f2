// Creating the engine by ProgID, as a host framework does: out of process on
// Windows; natively through the class object this process registers itself.
#pragma once

#include <string>

#include "platform/com_ptr.h"
#include "server/engine_interface.h"

namespace host {

// Membership of the multithreaded apartment for the lifetime of the object,
// so that the engine's calls on our source and sink arrive on COM's threads
// while the calling thread waits in Translate.
class ComApartment {
  public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    HRESULT result_;
};

enum class ActivationError { None, NotRegistered, Failed };

struct Activation {
    ComPtr<IQNSTranslationEngine> engine;
    ActivationError error = ActivationError::None;
    HRESULT result = S_OK;
    std::string message;  // what went wrong, for a person
};

Activation ActivateEngine(const std::string& progId);

// "0x80040154".
std::string HresultText(HRESULT result);

}  // namespace host
