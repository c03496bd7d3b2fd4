#ifndef KORVELIN_TESTS_CODEPAGE_H
#define KORVELIN_TESTS_CODEPAGE_H

#include <windows.h>

#include <string>
#include <vector>

// Text of the given code page (CP_ACP, CP_UTF8, ...) as UTF-16.
std::wstring widen(const std::string& text, UINT codePage = CP_ACP);

// UTF-16 text in the given code page; the system's (CP_ACP) is what the programs under
// test see, with look-alikes or '?' for what it lacks.
std::string narrow(const std::wstring& text, UINT codePage = CP_ACP);

// Whether the system code page holds the text exactly: no character of it missing,
// none replaced by a look-alike.
bool heldByCodePage(const std::wstring& text);

// Which names a test can use depends on the system code page, which differs from one
// Windows to the next. These choose, from candidates written in UTF-8, what the
// running one allows, and return UTF-8.

// The candidates that the system code page holds exactly, in their order.
std::vector<std::string> heldOf(const std::vector<std::string>& candidates);

// The first candidate that the system code page turns into the ASCII character
// `plain`: a look-alike ("best fit") that a narrow program receives as that
// character. Empty when none does.
std::string bestFitOnto(char plain, const std::vector<std::string>& candidates);

// The first candidate that the system code page can neither hold nor fit, so that a
// narrow program receives '?'. Empty when none.
std::string lackedOf(const std::vector<std::string>& candidates);

// The bytes 0x80 and above that are characters of their own in the system code page
// (not the first half of a double-byte character) and read back as themselves.
std::string singleBytesBeyondAscii();

#endif
