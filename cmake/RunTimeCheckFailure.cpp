// Linked into every program of a build with run-time checks (KORVELIN_RUNTIME_CHECKS).
// A failed check executes a trap instruction. Left to the system, that starts the
// debugger that the AeDebug setting names, which may sit waiting, or (as seen under
// Wine) end the program with exit code 0, a failure that looks like success. This
// filter runs before any debugger is asked: one line on standard error, and the
// process ends at once with the exception's code, which no test takes for a result.
#include <stdio.h>
#include <windows.h>

namespace {

LONG WINAPI endAtOnce(EXCEPTION_POINTERS* exception)
{
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    char line[128];
    const int length =
        snprintf(line, sizeof line, "run-time check failed: exception 0x%08lX at %p\n",
                 static_cast<unsigned long>(record->ExceptionCode), record->ExceptionAddress);
    DWORD written = 0;
    if (length > 0)
        WriteFile(GetStdHandle(STD_ERROR_HANDLE), line, static_cast<DWORD>(length), &written,
                  nullptr);
    TerminateProcess(GetCurrentProcess(), record->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

// Set while static objects are constructed, after the runtime has set its own filter.
[[maybe_unused]] const LPTOP_LEVEL_EXCEPTION_FILTER previousFilter =
    SetUnhandledExceptionFilter(endAtOnce);

} // namespace
