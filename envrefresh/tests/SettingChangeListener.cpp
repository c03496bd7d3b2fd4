// settingchange_listener EVENT
//
// A second process for the broadcast tests: makes one settings-change window, sets
// the named event once the window is there, and pumps messages until its standard
// input ends. Then prints what the window received, one entry a line.

#include "SettingChangeWindow.h"

#include <stdio.h>

namespace {

DWORD WINAPI quitWhenInputEnds(void* mainThread)
{
    char chunk[256];
    DWORD count = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &count, nullptr) &&
           count > 0) {
    }
    PostThreadMessageA(static_cast<DWORD>(reinterpret_cast<DWORD_PTR>(mainThread)), WM_QUIT, 0, 0);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        fprintf(stderr, "usage: settingchange_listener EVENT\n");
        return 2;
    }
    SettingChangeWindow window;

    // The message queue must exist before anyone posts the quit to it.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    HANDLE watcher = CreateThread(
        nullptr, 0, quitWhenInputEnds,
        reinterpret_cast<void*>(static_cast<DWORD_PTR>(GetCurrentThreadId())), 0, nullptr);

    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]);
    if (watcher == nullptr || ready == nullptr) {
        fprintf(stderr, "settingchange_listener: cannot start, error %lu\n", GetLastError());
        return 2;
    }
    SetEvent(ready);
    CloseHandle(ready);

    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    WaitForSingleObject(watcher, INFINITE);
    CloseHandle(watcher);

    for (const std::string& entry : window.received({"Environment", "ENVIRONMENT"}))
        printf("%s\n", entry.c_str());
    return 0;
}
