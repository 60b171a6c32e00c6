// The one owner of kernel handles (mutexes, events, files, processes,
// threads): it closes its handle exactly once, unless the handle was
// released to a new owner. Windows only.
#pragma once

#include <windows.h>

class KernelHandle {
public:
    KernelHandle() = default;
    explicit KernelHandle(HANDLE handle) : handle_(handle) {}
    ~KernelHandle() { Reset(); }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    KernelHandle(KernelHandle&& other) noexcept : handle_(other.Release()) {}
    KernelHandle& operator=(KernelHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    HANDLE Get() const { return handle_; }
    // Failed calls answer with a null handle or, for files and consoles,
    // INVALID_HANDLE_VALUE: neither is a handle to close.
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }

    // Closes the handle held and takes `handle` in its place.
    void Reset(HANDLE handle = nullptr) {
        if (Valid()) CloseHandle(handle_);
        handle_ = handle;
    }
    // Gives the handle to the caller, who closes it from now on.
    HANDLE Release() {
        HANDLE handle = handle_;
        handle_ = nullptr;
        return handle;
    }

private:
    HANDLE handle_ = nullptr;
};
