// One owner for every kind of system handle the program holds: the handle is
// released exactly once, when its owner goes away or is given another handle.
// Owners move and never copy.
#pragma once

#include <windows.h>

#include <utility>

namespace tarvenix {

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() = default;
    explicit UniqueHandle(Type handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Type Get() const { return handle_; }
    explicit operator bool() const { return Traits::IsValid(handle_); }
    void Reset(Type handle = Traits::Invalid()) {
        if (Traits::IsValid(handle_)) Traits::Close(handle_);
        handle_ = handle;
    }
    Type Release() { return std::exchange(handle_, Traits::Invalid()); }

private:
    Type handle_ = Traits::Invalid();
};

namespace handle_traits {

// Kernel handles that report failure as INVALID_HANDLE_VALUE (files) or NULL.
struct File {
    using Type = HANDLE;
    static Type Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) { CloseHandle(h); }
};

template <typename T, BOOL(WINAPI* Destroy)(T)>
struct Nullable {
    using Type = T;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { Destroy(h); }
};

template <typename T>
struct GdiObject {
    using Type = T;
    static Type Invalid() { return nullptr; }
    static bool IsValid(Type h) { return h != nullptr; }
    static void Close(Type h) { DeleteObject(h); }
};

}  // namespace handle_traits

using FileHandle = UniqueHandle<handle_traits::File>;
using MenuHandle = UniqueHandle<handle_traits::Nullable<HMENU, &DestroyMenu>>;
using IconHandle = UniqueHandle<handle_traits::Nullable<HICON, &DestroyIcon>>;
using HookHandle = UniqueHandle<handle_traits::Nullable<HHOOK, &UnhookWindowsHookEx>>;
using FontHandle = UniqueHandle<handle_traits::GdiObject<HFONT>>;
using BitmapHandle = UniqueHandle<handle_traits::GdiObject<HBITMAP>>;

}  // namespace tarvenix
