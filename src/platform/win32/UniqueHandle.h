// One move-only owner for every kind of Win32 handle, and a one-line alias per
// kind. An owner closes its handle exactly once: copies are not allowed, and a
// moved-from owner holds the kind's invalid value.
#pragma once

#include <windows.h>

#include <utility>

namespace glance::win32 {

// Closes a handle with a plain function of the system (CloseHandle, RegCloseKey...).
// Invalid is the value that means "no handle": null for most kinds.
template <auto CloseFunction>
struct CloseWith {
    template <class T>
    void operator()(T handle) const noexcept {
        CloseFunction(handle);
    }
};

// For the kinds whose "no handle" value is INVALID_HANDLE_VALUE (files, searches).
template <auto CloseFunction>
struct CloseWithInvalidMinusOne : CloseWith<CloseFunction> {
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
};

template <class T, class Deleter>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(T handle) noexcept : handle_(handle) {}
    ~UniqueHandle() { reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }

    T get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != invalid(); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives the handle up without closing it.
    T release() noexcept { return std::exchange(handle_, invalid()); }

    // Closes the current handle (if any) and takes ownership of handle.
    void reset(T handle = invalid()) noexcept {
        const T old = std::exchange(handle_, handle);
        if (old != invalid()) Deleter{}(old);
    }

    // Closes the current handle and returns the slot, for the out-parameter
    // of a function that creates one (RegOpenKeyExW(..., key.put())).
    T* put() noexcept {
        reset();
        return &handle_;
    }

    static T invalid() noexcept {
        if constexpr (requires { Deleter::invalid(); }) {
            return reinterpret_cast<T>(Deleter::invalid());
        } else {
            return T{};
        }
    }

private:
    T handle_ = invalid();
};

// Kernel objects that use null for "none" (mutexes, events, processes, threads).
using UniqueKernelHandle = UniqueHandle<HANDLE, CloseWith<&::CloseHandle>>;
// CreateFileW results, which use INVALID_HANDLE_VALUE for "none".
using UniqueFileHandle = UniqueHandle<HANDLE, CloseWithInvalidMinusOne<&::CloseHandle>>;
// FindFirstFileExW searches.
using UniqueFindHandle = UniqueHandle<HANDLE, CloseWithInvalidMinusOne<&::FindClose>>;
using UniqueHkey = UniqueHandle<HKEY, CloseWith<&::RegCloseKey>>;
using UniqueHwnd = UniqueHandle<HWND, CloseWith<&::DestroyWindow>>;
using UniqueHicon = UniqueHandle<HICON, CloseWith<&::DestroyIcon>>;
using UniqueMemoryDc = UniqueHandle<HDC, CloseWith<&::DeleteDC>>;
// The screen's device context, GetDC(nullptr).
inline void releaseScreenDc(HDC dc) noexcept {
    ReleaseDC(nullptr, dc);
}
using UniqueScreenDc = UniqueHandle<HDC, CloseWith<&releaseScreenDc>>;
// What the system allocated with LocalAlloc for its answer (a SID's text, a
// security descriptor).
template <class T>
using UniqueLocalMemory = UniqueHandle<T, CloseWith<&::LocalFree>>;
// Fonts, brushes, pens, bitmaps, regions: UniqueGdiObject<HFONT> and so on.
template <class T>
using UniqueGdiObject = UniqueHandle<T, CloseWith<&::DeleteObject>>;
using UniqueHfont = UniqueGdiObject<HFONT>;
using UniqueHbrush = UniqueGdiObject<HBRUSH>;
using UniqueHbitmap = UniqueGdiObject<HBITMAP>;

// Selects a GDI object into a device context for the owner's lifetime and
// puts the one it replaced back on destruction, so painting code has no
// restore paths of its own. Declare in the order of selection: the owners
// restore in reverse.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace glance::win32
