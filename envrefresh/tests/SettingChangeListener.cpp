// settingchange_listener EVENT
//
// A second process for the broadcast tests: makes one settings-change window, sets
// the named event once the window is there, and pumps messages until its standard
// input ends. Then prints what the window received, one entry a line.

#include "SettingChangeWindow.h"

#include <stdio.h>

#include <thread>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        fprintf(stderr, "usage: settingchange_listener EVENT\n");
        return 2;
    }
    SettingChangeWindow window;
    const OwnedHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]));
    if (!ready) {
        fprintf(stderr, "settingchange_listener: cannot open %s, error %lu\n", argv[1],
                GetLastError());
        return 2;
    }

    // The message queue must exist before anyone posts the quit to it.
    MSG message;
    PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    const DWORD mainThread = GetCurrentThreadId();
    std::thread quitWhenInputEnds([mainThread] {
        char chunk[256];
        DWORD count = 0;
        while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), chunk, sizeof chunk, &count, nullptr) &&
               count > 0) {
        }
        PostThreadMessageA(mainThread, WM_QUIT, 0, 0);
    });
    SetEvent(ready.get());

    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    quitWhenInputEnds.join();

    for (const std::string& entry : window.received({"Environment", "ENVIRONMENT"}))
        printf("%s\n", entry.c_str());
    return 0;
}
