// A holder for a module-wide object that lives until the process ends and is
// never destroyed. At process exit Windows has already killed the library's
// other threads, wherever they stood (one may have held the heap's lock), and
// the library must run nothing that frees, allocates, waits or locks; an
// object with a destructor at namespace scope would have the runtime run that
// destructor then. The holder is trivially destructible: what it holds is
// built when the library loads and left as it is at the end.
#pragma once

#include <new>
#include <string>
#include <type_traits>
#include <utility>

namespace vorelle {

template <typename T>
class NoDestructor {
public:
    template <typename... Args>
    explicit NoDestructor(Args&&... args) {
        new (storage_) T(std::forward<Args>(args)...);
    }
    ~NoDestructor() = default;
    NoDestructor(const NoDestructor&) = delete;
    NoDestructor& operator=(const NoDestructor&) = delete;

    T& operator*() { return *get(); }
    T* operator->() { return get(); }
    T* get() { return std::launder(reinterpret_cast<T*>(storage_)); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

// Whatever it holds: a text owning heap memory, say.
static_assert(std::is_trivially_destructible_v<NoDestructor<std::u16string>>);

}  // namespace vorelle
