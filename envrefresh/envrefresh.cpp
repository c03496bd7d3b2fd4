// envrefresh
//
// Tells every top-level window of this desktop that the environment settings changed,
// so that running programs such as Explorer reread them from the registry and hand
// the new values to the programs they start from then on. Prints nothing, ignores its
// arguments, always exits 0.

#include <windows.h>

namespace {

// Some programs listen for one spelling, some for the other: send both.
const char EnvironmentText[] = "Environment";
const char EnvironmentTextUpper[] = "ENVIRONMENT";

// A window that does not answer holds the run up for at most this long.
const UINT BroadcastTimeoutMs = 5000;

void broadcastSettingChange(const char* text)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, BroadcastTimeoutMs, &result);
}

int broadcastEnvironmentChange()
{
    // Let go of the console at once. Started from Explorer, a shortcut or the Run box,
    // the console window that Windows made for us closes now instead of standing
    // empty through the broadcasts. A shell that started us (cmd.exe, PowerShell)
    // still waits for us to end, and keeps its console.
    FreeConsole();
    broadcastSettingChange(EnvironmentText);
    broadcastSettingChange(EnvironmentTextUpper);
    return 0;
}

} // namespace

int main()
{
    return broadcastEnvironmentChange();
}
