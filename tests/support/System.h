#ifndef KORVELIN_TESTS_SYSTEM_H
#define KORVELIN_TESTS_SYSTEM_H

// What every test needs of the system it runs on: owners for its handles, text in
// and out of the code page, the system's error texts, and whether this is Windows
// or Wine.

#include <windows.h>

#include <gtest/gtest.h>

#include <cctype>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

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

// Calls that fail with INVALID_HANDLE_VALUE (CreateFile) give null instead, which an
// owner holds as "nothing".
inline HANDLE nullIfInvalid(HANDLE handle)
{
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}

// Everything a file or pipe gives until its end (or until it fails).
std::string readToEnd(HANDLE handle);

// Text of the given code page (CP_ACP, CP_UTF8, ...) as UTF-16.
std::wstring widen(const std::string& text, UINT codePage = CP_ACP);

// UTF-16 text in the given code page; the system's (CP_ACP) is what the programs under
// test see, with look-alikes or '?' for what it lacks.
std::string narrow(const std::wstring& text, UINT codePage = CP_ACP);

// Whether the system code page holds the text exactly: no character of it missing,
// none replaced by a look-alike.
bool heldByCodePage(const std::wstring& text);

// Which names a row can use depends on the system code page, which differs from one
// Windows to the next: these choose, from candidates in UTF-8, what the running one allows.
//   heldOf: the candidates it holds exactly, in their order.
//   receivedAs: the first candidate it does not hold and that a narrow program receives
//   as `plain` instead, through a look-alike ("best fit"); with plain null, the first it
//   receives with its default character ('?') in. Empty when none does.
//   singleBytesBeyondAscii: the bytes 0x80 and above that are characters of their own
//   (not the first half of a double-byte character) and read back as themselves.
std::vector<std::string> heldOf(const std::vector<std::string>& candidates);
std::string receivedAs(const char* plain, const std::vector<std::string>& candidates);
std::string singleBytesBeyondAscii();

// The system's own text for an error code, empty when it has none. Wine words its
// texts differently from Windows, so tests ask for them instead of spelling them out.
std::string systemErrorText(DWORD code);

// Fails the running test with the calling thread's last error, code and text: what a
// test cannot set up (a window, a process, a folder) is a failure of that test alone.
// GoogleTest reports the exception and goes on with the next test.
[[noreturn]] void failWithLastError(const std::string& what);

// Whether the tests run under Wine rather than Windows.
bool runsUnderWine();

// Why a row cannot run on this system, or empty when it can: for a row whose answer
// is Windows' own (which Wine does not give), for one that only Wine can answer
// quickly, and for one that needs what the system code page may lack. A row with a
// reason is skipped with it, never counted as passed.
std::string windowsOnly(const std::string& why);
std::string wineOnly(const std::string& why);
std::string unlessCodePageHas(bool has, const std::string& what);

// Why names of servers are tried under Wine alone.
const char NetworkSearch[] = "Windows would search the network for the server, for seconds";

// The name of a table's row in test names: its `what`, letters and digits kept, every
// run of anything else one '_' ("new name exists, on a pipe" as new_name_exists_on_a_pipe).
template <typename Row> std::string rowName(const testing::TestParamInfo<Row>& tested)
{
    std::string name;
    for (char c : std::string(tested.param.what)) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
        else if (!name.empty() && name.back() != '_')
            name += '_';
    }
    return name;
}

#endif
