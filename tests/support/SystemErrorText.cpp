#include "SystemErrorText.h"

#include <stdexcept>

std::string systemErrorText(DWORD code)
{
    char* text = nullptr;
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                   reinterpret_cast<char*>(&text), 0, nullptr);
    const std::string result = text != nullptr ? text : "";
    LocalFree(text);
    return result;
}

void failWithLastError(const std::string& what)
{
    const DWORD code = GetLastError();
    std::string text = systemErrorText(code);
    text.erase(text.find_last_not_of("\r\n") + 1); // one line
    throw std::runtime_error(what + " failed, error " + std::to_string(code) + ": " + text);
}
