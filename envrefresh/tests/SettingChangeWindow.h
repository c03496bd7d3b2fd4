#ifndef KORVELIN_TESTS_SETTINGCHANGEWINDOW_H
#define KORVELIN_TESTS_SETTINGCHANGEWINDOW_H

#include <windows.h>

#include <string>
#include <vector>

// A hidden top-level window (message-only windows get no broadcasts) that writes
// down every WM_SETTINGCHANGE it receives as "<first parameter> <text>". It answers
// only while its thread pumps messages.
class SettingChangeWindow {
  public:
    SettingChangeWindow();
    ~SettingChangeWindow();
    SettingChangeWindow(const SettingChangeWindow&) = delete;
    SettingChangeWindow& operator=(const SettingChangeWindow&) = delete;

    HWND handle() const { return m_window; }

    // What arrived, in order. Only the given texts are kept: other programs in the
    // system may announce settings changes of their own.
    std::vector<std::string> received(const std::vector<std::string>& texts) const;

  private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);

    HWND m_window;
    std::vector<std::string> m_received;
};

#endif
