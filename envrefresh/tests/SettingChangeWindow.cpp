#include "SettingChangeWindow.h"

#include "System.h"

#include <algorithm>

namespace {

const char ClassName[] = "KorvelinSettingChangeWindow";

void registerClassOnce(WNDPROC procedure)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = ClassName;
    if (!RegisterClassA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        failWithLastError("RegisterClass");
}

} // namespace

SettingChangeWindow::SettingChangeWindow()
{
    registerClassOnce(windowProcedure);
    m_window.reset(CreateWindowExA(0, ClassName, "settings change listener", WS_OVERLAPPEDWINDOW, 0,
                                   0, 100, 100, nullptr, nullptr, GetModuleHandleA(nullptr), this));
    if (!m_window)
        failWithLastError("CreateWindow");
}

std::vector<std::string> SettingChangeWindow::received(const std::vector<std::string>& texts) const
{
    std::vector<std::string> kept;
    for (const std::string& entry : m_received) {
        const std::string text = entry.substr(entry.find(' ') + 1);
        if (std::find(texts.begin(), texts.end(), text) != texts.end())
            kept.push_back(entry);
    }
    return kept;
}

LRESULT CALLBACK SettingChangeWindow::windowProcedure(HWND window, UINT message, WPARAM wParam,
                                                      LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const CREATESTRUCTA* creation = reinterpret_cast<const CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    SettingChangeWindow* self =
        reinterpret_cast<SettingChangeWindow*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (message == WM_SETTINGCHANGE && self != nullptr) {
        const char* text = reinterpret_cast<const char*>(lParam);
        self->m_received.push_back(std::to_string(wParam) + " " +
                                   (text != nullptr ? text : "(no text)"));
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
