#ifndef KORVELIN_TESTS_SETTINGCHANGEWINDOW_H
#define KORVELIN_TESTS_SETTINGCHANGEWINDOW_H

#include "System.h"

#include <windows.h>

#include <string>
#include <vector>

// A hidden top-level window (message-only windows get no broadcasts) that writes
// down every WM_SETTINGCHANGE it receives as "<first parameter> <text>". It answers
// only while its thread pumps messages.
class SettingChangeWindow {
  public:
    SettingChangeWindow();

    HWND handle() const { return m_window.get(); }

    // What arrived, in order. Only the given texts are kept: other programs in the
    // system may announce settings changes of their own.
    std::vector<std::string> received(const std::vector<std::string>& texts) const;

  private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam);

    std::vector<std::string> m_received;
    OwnedWindow m_window; // last: gone first, while what it writes to is still there
};

#endif
