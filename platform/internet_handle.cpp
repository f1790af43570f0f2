#include "platform/internet_handle.h"

InternetHandle& InternetHandle::operator=(InternetHandle&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        other.handle_ = nullptr;
    }
    return *this;
}

InternetHandle& InternetHandle::operator=(HINTERNET handle) {
    if (handle != handle_) {
        Close();
        handle_ = handle;
    }
    return *this;
}

void InternetHandle::Close() {
    if (handle_ != nullptr) {
        InternetCloseHandle(handle_);
        handle_ = nullptr;
    }
}
