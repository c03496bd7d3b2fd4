#include "System.h"

#include <stdexcept>

std::string readToEnd(HANDLE handle)
{
    std::string content;
    char chunk[4096];
    DWORD count = 0;
    while (handle != nullptr && ReadFile(handle, chunk, sizeof chunk, &count, nullptr) && count > 0)
        content.append(chunk, count);
    return content;
}

std::wstring widen(const std::string& text, UINT codePage)
{
    if (text.empty())
        return std::wstring();
    const int size =
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(size, L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

std::string narrow(const std::wstring& text, UINT codePage)
{
    if (text.empty())
        return std::string();
    const int size = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                        nullptr, nullptr);
    return result;
}

bool heldByCodePage(const std::wstring& text)
{
    // UTF-8 as the system code page holds every character; it takes no flags.
    if (GetACP() == CP_UTF8)
        return true;
    BOOL usedDefault = FALSE;
    const int size =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(),
                            static_cast<int>(text.size()), nullptr, 0, nullptr, &usedDefault);
    return !text.empty() && size > 0 && !usedDefault && widen(narrow(text)) == text;
}

std::vector<std::string> heldOf(const std::vector<std::string>& candidates)
{
    std::vector<std::string> held;
    for (const std::string& candidate : candidates) {
        if (heldByCodePage(widen(candidate, CP_UTF8)))
            held.push_back(candidate);
    }
    return held;
}

std::string receivedAs(const char* plain, const std::vector<std::string>& candidates)
{
    for (const std::string& candidate : candidates) {
        const std::wstring wide = widen(candidate, CP_UTF8);
        if (GetACP() == CP_UTF8 || heldByCodePage(wide))
            continue;
        BOOL defaulted = FALSE;
        std::string received(4 * wide.size(), '\0');
        received.resize(WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                            &received[0], static_cast<int>(received.size()),
                                            nullptr, &defaulted));
        if (plain == nullptr ? defaulted != FALSE : !defaulted && received == plain)
            return candidate;
    }
    return std::string();
}

std::string singleBytesBeyondAscii()
{
    std::string bytes;
    for (int value = 0x80; value <= 0xff; ++value) {
        const char single = static_cast<char>(value);
        wchar_t wide[2];
        if (!IsDBCSLeadByte(static_cast<BYTE>(value)) &&
            MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &single, 1, wide, 2) == 1 &&
            heldByCodePage(std::wstring(wide, 1)))
            bytes += single;
    }
    return bytes;
}

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

bool runsUnderWine()
{
    // Wine's ntdll exports its version; Windows' has no such function.
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string windowsOnly(const std::string& why)
{
    return runsUnderWine() ? "Windows only: " + why : std::string();
}

std::string wineOnly(const std::string& why)
{
    return runsUnderWine() ? std::string() : "Wine only: " + why;
}

std::string unlessCodePageHas(bool has, const std::string& what)
{
    return has ? std::string()
               : "the system code page (" + std::to_string(GetACP()) + ") has no " + what;
}
