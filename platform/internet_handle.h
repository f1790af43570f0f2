// Owns one Internet client handle: closes it when it is replaced by another
// handle or when the owner goes away.
#pragma once

#include "platform/internet.h"

class InternetHandle {
  public:
    InternetHandle() = default;
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle() { Close(); }

    InternetHandle(InternetHandle&& other) noexcept : handle_(other.handle_) {
        other.handle_ = nullptr;
    }
    InternetHandle& operator=(InternetHandle&& other) noexcept;
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;

    // Takes `handle`, closing the one held before unless it is the same.
    InternetHandle& operator=(HINTERNET handle);

    HINTERNET Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Close();

  private:
    HINTERNET handle_ = nullptr;
};
