// settingchange_listener EVENT
//
// A second process for the broadcast tests: makes one settings-change window, sets
// the named event once the window is there, and answers it until its standard input
// ends. Then prints what the window received, one entry a line.

#include "SettingChangeWindow.h"
#include "WindowThread.h"

#include <stdio.h>

#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        fprintf(stderr, "usage: settingchange_listener EVENT\n");
        return 2;
    }
    const OwnedHandle ready(OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[1]));
    if (!ready) {
        fprintf(stderr, "settingchange_listener: cannot open %s, error %lu\n", argv[1],
                GetLastError());
        return 2;
    }

    std::vector<std::string> received;
    {
        WindowThread listening([&received](WindowThread& thread) {
            SettingChangeWindow window;
            thread.serve();
            received = window.received({"Environment", "ENVIRONMENT"});
        });
        SetEvent(ready.get());
        readToEnd(GetStdHandle(STD_INPUT_HANDLE));
    }

    for (const std::string& entry : received)
        printf("%s\n", entry.c_str());
    return 0;
}
