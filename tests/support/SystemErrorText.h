#ifndef KORVELIN_TESTS_SYSTEMERRORTEXT_H
#define KORVELIN_TESTS_SYSTEMERRORTEXT_H

#include <windows.h>

#include <string>

// The system's own text for an error code, empty when it has none. Wine words its
// texts differently from Windows, so tests ask for them instead of spelling them out.
std::string systemErrorText(DWORD code);

#endif
