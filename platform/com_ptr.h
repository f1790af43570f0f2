// Move-only owner of one reference to a COM interface.
#pragma once

#include <utility>

#include "platform/com.h"

template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    // Takes over a reference the caller already owns (as an [out] parameter hands it).
    explicit ComPtr(T* adopted) : pointer_(adopted) {}
    ~ComPtr() { reset(); }
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset(std::exchange(other.pointer_, nullptr));
        }
        return *this;
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;

    // Takes a reference of its own to `shared`.
    static ComPtr Retain(T* shared) {
        if (shared != nullptr) {
            shared->AddRef();
        }
        return ComPtr(shared);
    }

    T* get() const { return pointer_; }
    T* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }

    // Releases any held reference and returns the slot for an [out] parameter.
    T** put() {
        reset();
        return &pointer_;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

    // Hands the reference to the caller.
    T* release() { return std::exchange(pointer_, nullptr); }

    void reset(T* adopted = nullptr) {
        T* old = std::exchange(pointer_, adopted);
        if (old != nullptr) {
            old->Release();
        }
    }

  private:
    T* pointer_ = nullptr;
};
