#ifndef KORVELIN_ERRORDESCRIPTION_H
#define KORVELIN_ERRORDESCRIPTION_H

#include <windows.h>

// Size of the buffer that holds the description; the text is at most one less.
constexpr unsigned ErrorTextBufferSize = 4096;

// Describes the calling thread's last error as
//   "Error Code: <code>\nDescription: <the system's own text>".
// Call it straight after the failed call, before any other platform call. The text
// lives in a static buffer that the next call overwrites; do not free it.
const char* describeLastError();

// Formats a code and a system text (null when there is none) into that same buffer.
const char* formatErrorDescription(DWORD code, const char* systemText);

#endif
