// What Visual C++'s static runtime brings into a console program, for the programs
// that clang-cl builds against Wine's ucrtbase.dll, which has none of it: the entry
// point, the stack cookie that /GS checks, and operator delete. The runtime splits
// the command line, constructors of static objects run, then main, and its result
// goes to exit(), which also runs what atexit() took.
#include <corecrt_startup.h>
#include <stdlib.h>
#include <windows.h>

#pragma comment(lib, "ucrtbase")

extern "C" int __cdecl main(int argc, char* argv[]);
extern "C" void __cdecl _initterm(_PVFV* start, _PVFV* end);

// The compiler puts each static object's constructor into .CRT$XCU; the linker sorts
// the .CRT$XC* sections by name, so these two bracket them.
#pragma section(".CRT$XCA", long, read)
#pragma section(".CRT$XCZ", long, read)
__declspec(allocate(".CRT$XCA")) static _PVFV constructorsStart[] = {nullptr};
__declspec(allocate(".CRT$XCZ")) static _PVFV constructorsEnd[] = {nullptr};

// The value each function's stack cookie is made from; varied per process before
// anything else runs, as Visual C++'s runtime does.
extern "C" UINT_PTR __security_cookie = 0xBB40E64E;

extern "C" void __fastcall __security_check_cookie(UINT_PTR cookie)
{
    if (cookie != __security_cookie)
        __fastfail(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE);
}

void __cdecl operator delete(void* memory) noexcept
{
    free(memory);
}

void __cdecl operator delete(void* memory, size_t) noexcept
{
    free(memory);
}

// No cookie of its own: it changes the value the cookies are checked against.
extern "C" __declspec(safebuffers) int __cdecl mainCRTStartup()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    __security_cookie ^= static_cast<UINT_PTR>(now.QuadPart) ^ GetCurrentProcessId() ^
                         GetCurrentThreadId() ^ GetTickCount();

    _set_app_type(_crt_console_app);
    // Arguments as Visual C++ passes them to main by default: wildcards unexpanded.
    if (_configure_narrow_argv(_crt_argv_unexpanded_arguments) != 0 ||
        _initialize_narrow_environment() != 0)
        abort();
    _initterm(constructorsStart, constructorsEnd);
    exit(main(__argc, __argv));
}
