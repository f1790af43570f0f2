// Move-only owner of an open registry key handle.
#pragma once

#include <utility>

#include "platform/registry.h"

class UniqueHkey {
  public:
    UniqueHkey() = default;
    explicit UniqueHkey(HKEY key) : key_(key) {}
    ~UniqueHkey() { reset(); }
    UniqueHkey(UniqueHkey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    UniqueHkey& operator=(UniqueHkey&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.key_, nullptr));
        }
        return *this;
    }
    UniqueHkey(const UniqueHkey&) = delete;
    UniqueHkey& operator=(const UniqueHkey&) = delete;

    HKEY get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }
    // Closes any held key and returns the slot for an API that opens one.
    HKEY* put() {
        reset();
        return &key_;
    }
    void reset(HKEY key = nullptr) {
        if (key_ != nullptr) {
            RegCloseKey(key_);
        }
        key_ = key;
    }

  private:
    HKEY key_ = nullptr;
};
