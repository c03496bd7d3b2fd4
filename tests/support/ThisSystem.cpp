#include "ThisSystem.h"

#include <windows.h>

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
