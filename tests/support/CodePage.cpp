#include "CodePage.h"

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

namespace {

// What a narrow program receives for the text, and whether the code page had to put
// its default character ('?') in. False when it holds the text exactly, or is UTF-8.
bool replaced(const std::string& candidate, std::string* received, bool* usedDefault)
{
    const std::wstring wide = widen(candidate, CP_UTF8);
    if (GetACP() == CP_UTF8 || heldByCodePage(wide))
        return false;
    BOOL defaulted = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, &defaulted);
    received->assign(size, '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &(*received)[0],
                        size, nullptr, nullptr);
    *usedDefault = defaulted != FALSE;
    return true;
}

} // namespace

std::string bestFitOnto(char plain, const std::vector<std::string>& candidates)
{
    for (const std::string& candidate : candidates) {
        std::string received;
        bool usedDefault = false;
        if (replaced(candidate, &received, &usedDefault) && !usedDefault &&
            received == std::string(1, plain))
            return candidate;
    }
    return std::string();
}

std::string lackedOf(const std::vector<std::string>& candidates)
{
    for (const std::string& candidate : candidates) {
        std::string received;
        bool usedDefault = false;
        if (replaced(candidate, &received, &usedDefault) && usedDefault)
            return candidate;
    }
    return std::string();
}

std::string singleBytesBeyondAscii()
{
    std::string bytes;
    for (int value = 0x80; value <= 0xff; ++value) {
        const char byte = static_cast<char>(value);
        wchar_t wide[2];
        if (IsDBCSLeadByte(static_cast<BYTE>(value)) ||
            MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &byte, 1, wide, 2) != 1 ||
            !heldByCodePage(std::wstring(wide, 1)))
            continue;
        bytes += byte;
    }
    return bytes;
}
