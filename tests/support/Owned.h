#ifndef KORVELIN_TESTS_OWNED_H
#define KORVELIN_TESTS_OWNED_H

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

// One owner for every kind of handle the tests open: the handle and the call that
// releases it, released once, on every way out of a test (a failed ASSERT too).
template <auto Release> struct ReleasedBy {
    template <typename T> void operator()(T* handle) const { Release(handle); }
};
template <typename Handle, auto Release>
using Owned = std::unique_ptr<std::remove_pointer_t<Handle>, ReleasedBy<Release>>;

using OwnedHandle = Owned<HANDLE, CloseHandle>;
using OwnedModule = Owned<HMODULE, FreeLibrary>;
using OwnedWindow = Owned<HWND, DestroyWindow>;

// Calls that fail with INVALID_HANDLE_VALUE (CreateFile) give null
// instead, which an owner holds as "nothing".
inline HANDLE nullIfInvalid(HANDLE handle)
{
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// Everything a file or pipe gives until its end (or until it fails).
inline std::string readToEnd(HANDLE handle)
{
    std::string content;
    char chunk[4096];
    DWORD count = 0;
    while (handle != nullptr && ReadFile(handle, chunk, sizeof chunk, &count, nullptr) && count > 0)
        content.append(chunk, count);
    return content;
}

#endif
