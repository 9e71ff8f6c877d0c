#pragma once
// Owners that close a handle themselves: move-only, closed with the handle's
// own closing call when reset, assigned over or destroyed. A null handle and
// INVALID_HANDLE_VALUE both mean none, since the opening calls fail with one
// or the other.

#include "platform/Win32.h"

#include <utility>

namespace platform {

template <class T, auto Close>
class UniqueOwner {
public:
    UniqueOwner() = default;
    explicit UniqueOwner(T value) { Reset(value); }
    ~UniqueOwner() { Reset(); }
    UniqueOwner(UniqueOwner&& other) noexcept : value(other.Release()) {}
    UniqueOwner& operator=(UniqueOwner&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    T Get() const { return value; }
    explicit operator bool() const { return value != T{}; }

    // Closes what is held and takes replacement.
    void Reset(T replacement = T{})
    {
        const T old = std::exchange(value, replacement == INVALID_HANDLE_VALUE ? T{} : replacement);
        if (old != T{})
            Close(old);
    }
    // Lets go of the handle without closing it.
    T Release() { return std::exchange(value, T{}); }

private:
    T value{};
};

using UniqueHandle = UniqueOwner<HANDLE, CloseHandle>;     // files, mappings, mutexes
using UniqueFindHandle = UniqueOwner<HANDLE, FindClose>;   // FindFirstFileA searches
using UniqueView = UniqueOwner<LPCVOID, UnmapViewOfFile>;  // MapViewOfFile views

}  // namespace platform
