// UniqueResource: the one move-only owner of a handle-like value, given back
// with its close function. Each handle type is a line beside its declarations:
// UniqueHandle, UniqueFileHandle, UniqueHkey, UniqueBstr, FindHandle,
// InternetHandle, net::Socket, on Windows UniqueScHandle and, natively, UniqueFd.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

// `Close` is called once on every value the owner held, never on the empty
// one. `Empty` is the value that holds nothing: null by default, or a number
// for a handle whose "none" is one (-1 for a search handle or a socket).
template <typename T, auto Close, auto Empty = nullptr>
class UniqueResource {
  public:
    static T EmptyValue() noexcept {
        if constexpr (std::is_pointer_v<T> && std::is_integral_v<decltype(Empty)>) {
            return reinterpret_cast<T>(static_cast<std::intptr_t>(Empty));
        } else {
            return static_cast<T>(Empty);
        }
    }

    UniqueResource() noexcept = default;
    explicit UniqueResource(T adopted) noexcept : value_(adopted) {}
    ~UniqueResource() { reset(); }
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        reset(other.release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != EmptyValue(); }

    // Closes what is held and returns the slot for an API that opens one.
    T* put() noexcept {
        reset();
        return &value_;
    }
    // Hands the value to the caller, who closes it.
    T release() noexcept { return std::exchange(value_, EmptyValue()); }
    // Takes `adopted` and closes what was held before, unless it is the same
    // value: an owner never closes what it keeps.
    void reset(T adopted = EmptyValue()) noexcept {
        if (adopted == value_) {
            return;
        }
        const T old = std::exchange(value_, adopted);
        if (old != EmptyValue()) {
            Close(old);
        }
    }

  private:
    T value_ = EmptyValue();
};
