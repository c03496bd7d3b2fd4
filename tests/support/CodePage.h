#ifndef KORVELIN_TESTS_CODEPAGE_H
#define KORVELIN_TESTS_CODEPAGE_H

#include <windows.h>

#include <string>

// Text of the given code page (CP_ACP, CP_UTF8, ...) as UTF-16.
std::wstring widen(const std::string& text, UINT codePage = CP_ACP);

// UTF-16 text in the given code page; the system's (CP_ACP) is what the programs under
// test see, with look-alikes or '?' for what it lacks.
std::string narrow(const std::wstring& text, UINT codePage = CP_ACP);

// Whether the system code page holds the text exactly: no character of it missing,
// none replaced by a look-alike.
bool heldByCodePage(const std::wstring& text);

#endif
