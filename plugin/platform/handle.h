// One owner for one operating-system handle: move-only, closed by the
// implementation's Close when the owner leaves scope.
#pragma once

#include <cstdint>
#include <utility>

namespace vorelle::platform {

using RawHandle = std::uintptr_t;  // 0 means "no handle"

template <typename Traits>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(RawHandle handle) : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    explicit operator bool() const { return handle_ != 0; }
    RawHandle get() const { return handle_; }

    RawHandle release() { return std::exchange(handle_, 0); }
    void reset(RawHandle handle = 0) {
        RawHandle old = std::exchange(handle_, handle);
        if (old != 0) {
            Traits::Close(old);
        }
    }

private:
    RawHandle handle_ = 0;
};

}  // namespace vorelle::platform
