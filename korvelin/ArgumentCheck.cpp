#include "ArgumentCheck.h"

#include <stdlib.h>
#include <wchar.h>
#include <windows.h>

#ifdef _MSC_VER
#include <corecrt_startup.h>
#else
// The runtime's own wide counterpart of the splitting that gave main its argv.
struct StartupInfo {
    // cppcheck-suppress unusedStructMember ; the runtime writes it, the layout is the runtime's
    int newMode;
};
// NOLINTNEXTLINE(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp): the runtime's export
extern "C" int __cdecl __wgetmainargs(int* count, wchar_t*** arguments, wchar_t*** environment,
                                      int expandWildcards, StartupInfo* startup);
// Whether the runtime expanded wildcards for argv; the wide split must do the same.
extern "C" int _dowildcard;
#endif

namespace {

// The caller's command line split into wide arguments by the runtime; they belong
// to the runtime. False when it cannot split it.
bool splitWideCommandLine(int* count, wchar_t*** arguments)
{
#ifdef _MSC_VER
    if (_configure_wide_argv(_crt_argv_unexpanded_arguments) != 0)
        return false;
    *count = __argc;
    *arguments = __wargv;
#else
    wchar_t** environment = nullptr;
    StartupInfo startup = {0};
    if (__wgetmainargs(count, arguments, &environment, _dowildcard, &startup) < 0)
        return false;
#endif
    return *arguments != nullptr;
}

// True when the narrow text, read back from the system code page, is exactly the
// wide one: then nothing was lost or replaced on the way into the code page.
bool cameThroughUnchanged(const char* narrow, const wchar_t* wide)
{
    const int size = MultiByteToWideChar(CP_ACP, 0, narrow, -1, nullptr, 0);
    if (size == 0)
        return false;
    wchar_t* readBack = static_cast<wchar_t*>(malloc(static_cast<size_t>(size) * sizeof(wchar_t)));
    if (readBack == nullptr)
        return false;
    const bool same = MultiByteToWideChar(CP_ACP, 0, narrow, -1, readBack, size) == size &&
                      wcscmp(readBack, wide) == 0;
    free(readBack);
    return same;
}

} // namespace

int findInexactArgument(int argc, char* argv[])
{
    int wideCount = 0;
    wchar_t** wideArguments = nullptr;
    if (!splitWideCommandLine(&wideCount, &wideArguments) || wideCount != argc)
        return ArgumentCountDiffers;
    for (int i = 1; i < argc; ++i) {
        if (!cameThroughUnchanged(argv[i], wideArguments[i]))
            return i;
    }
    return AllArgumentsExact;
}
