// One owner for the handles that fmhost, Vorelle Check, winsetup and the
// timing code open themselves, after WIL's unique_any: UniqueAny<HKEY,
// &RegCloseKey> owns one open key, UniqueAny<simwin::Handle,
// &simwin::ClosePrinter> one printer of the simulated Windows. A value-initialised Handle (null, 0) means none.
#pragma once

#include <utility>

namespace hosting {

template <typename Handle, auto Close>
class UniqueAny {
public:
    UniqueAny() = default;
    explicit UniqueAny(Handle handle) : handle_(handle) {}
    ~UniqueAny() { reset(); }

    UniqueAny(UniqueAny&& other) noexcept : handle_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;

    explicit operator bool() const { return handle_ != Handle{}; }
    Handle get() const { return handle_; }

    // For a call that opens into an out-parameter: closes what the owner held
    // and hands out the address of the (now empty) handle.
    Handle* put() {
        reset();
        return &handle_;
    }
    Handle release() { return std::exchange(handle_, Handle{}); }
    void reset(Handle handle = Handle{}) {
        const Handle old = std::exchange(handle_, handle);
        if (old != Handle{}) {
            Close(old);
        }
    }

private:
    Handle handle_{};
};

}  // namespace hosting
