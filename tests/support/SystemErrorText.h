#ifndef KORVELIN_TESTS_SYSTEMERRORTEXT_H
#define KORVELIN_TESTS_SYSTEMERRORTEXT_H

#include <windows.h>

#include <string>

// The system's own text for an error code, empty when it has none. Wine words its
// texts differently from Windows, so tests ask for them instead of spelling them out.
std::string systemErrorText(DWORD code);

// Fails the running test with the calling thread's last error, code and text: what a
// test cannot set up (a window, a process, a folder) is a failure of that test alone.
// GoogleTest reports the exception and goes on with the next test.
[[noreturn]] void failWithLastError(const std::string& what);

#endif
