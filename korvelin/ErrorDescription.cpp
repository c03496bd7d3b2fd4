#include <stdio.h> // before <windows.h>: keeps the system runtime's printf family
#include <string.h>

#include "ErrorDescription.h"

namespace {

char ErrorTextBuffer[ErrorTextBufferSize];

} // namespace

const char* formatErrorDescription(DWORD code, const char* systemText)
{
    memset(ErrorTextBuffer, 0, sizeof ErrorTextBuffer);
    // The last byte is never written, so the text stays terminated when it is cut.
    // "(null)" is spelled out: not every runtime prints a null string that way.
    _snprintf(ErrorTextBuffer, sizeof ErrorTextBuffer - 1, "Error Code: %d\nDescription: %s",
              static_cast<int>(code), systemText != nullptr ? systemText : "(null)");
    return ErrorTextBuffer;
}

const char* describeLastError()
{
    const DWORD code = GetLastError();

    char* systemText = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&systemText),
                   0, nullptr);

    const char* description = formatErrorDescription(code, systemText);
    LocalFree(systemText);
    return description;
}
