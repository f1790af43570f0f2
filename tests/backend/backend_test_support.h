// Shared by the back-end tests: options for a language pair and a test back
// end that the engine's transport is pointed at while it lives.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <string_view>

#include "backend/http_transport.h"
#include "backend/translation_options.h"
#include "tools/backend/test_backend.h"

inline TranslationOptions OptionsFor(std::u16string_view source, std::u16string_view target) {
    TranslationOptions options;
    options.SetFromText(u"<t:Option Name=\"SourceLanguage\">" + std::u16string(source) +
                        u"</t:Option><t:Option Name=\"TranslationLanguage\">" +
                        std::u16string(target) + u"</t:Option>");
    return options;
}

// Limits long enough for a loaded machine; tests of a hung back end shorten
// the receive limit, and only the outcome is checked, never the time taken.
inline constexpr TransportTimeouts kTestTimeouts{20000, 20000, 20000};
inline constexpr TransportTimeouts kShortReceiveTimeouts{20000, 20000, 1000};

class PointedBackend {
  public:
    explicit PointedBackend(test_backend::Fault fault = test_backend::Fault::None,
                            TransportTimeouts limits = kTestTimeouts)
        : backend(0, fault) {
        SetBackendPortForTesting(backend.Port());
        SetBackendTimeoutsForTesting(limits);
    }
    ~PointedBackend() {
        SetBackendPortForTesting(0);
        SetBackendTimeoutsForTesting({});
    }
    PointedBackend(const PointedBackend&) = delete;
    PointedBackend& operator=(const PointedBackend&) = delete;

    std::string Address() const { return "localhost:" + std::to_string(backend.Port()); }

    test_backend::TestBackend backend;
};

// Natively every open handle is counted: none may outlive the guard's scope.
// (The system client keeps no such count; there the guard checks nothing.)
class NoHandleLeft {
  public:
#ifndef _WIN32
    NoHandleLeft() : before_(OpenInternetHandleCountForTesting()) {}
    ~NoHandleLeft() {
        EXPECT_EQ(OpenInternetHandleCountForTesting(), before_);
    }

  private:
    std::size_t before_;
#else
    NoHandleLeft() {}
    ~NoHandleLeft() {}
#endif
};
