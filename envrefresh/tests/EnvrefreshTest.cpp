// envrefresh.exe from the outside: the two broadcasts as real windows receive them,
// in this process and in another, and its silence and exit code.

#include "ChildProcess.h"
#include "SettingChangeWindow.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> OurTexts = {"Environment", "ENVIRONMENT"};
const std::vector<std::string> TheTwoBroadcasts = {"0 Environment", "0 ENVIRONMENT"};

// Command lines of the programs beside the tests, wide: their folder may hold any name.
std::wstring commandLineOf(const std::string& program, const std::string& arguments)
{
    return widen(quoteArgument(besideThisProgram(program)) + " " + arguments, CP_UTF8);
}

std::wstring envrefreshWith(const std::string& arguments)
{
    return commandLineOf("envrefresh.exe", arguments);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        result.push_back(text.substr(start, end - start));
    return result;
}

// Pairs an event handle with its release.
class Event {
  public:
    explicit Event(const std::string& name = "")
        : m_event(CreateEventA(nullptr, TRUE, FALSE, name.empty() ? nullptr : name.c_str()))
    {
    }
    ~Event() { CloseHandle(m_event); }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    HANDLE get() const { return m_event; }

  private:
    HANDLE m_event;
};

// A window whose thread makes it and then stops pumping messages until released:
// to the system, a program that hangs.
class HungWindow {
  public:
    HungWindow() : m_thread(CreateThread(nullptr, 0, run, this, 0, nullptr))
    {
        WaitForSingleObject(m_created.get(), INFINITE);
    }
    ~HungWindow()
    {
        SetEvent(m_release.get());
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
    }
    HungWindow(const HungWindow&) = delete;
    HungWindow& operator=(const HungWindow&) = delete;

  private:
    static DWORD WINAPI run(void* context)
    {
        HungWindow* self = static_cast<HungWindow*>(context);
        SettingChangeWindow window;
        SetEvent(self->m_created.get());
        WaitForSingleObject(self->m_release.get(), INFINITE);
        // Answer what waited, so the window goes cleanly.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&message);
        return 0;
    }

    Event m_created;
    Event m_release;
    HANDLE m_thread;
};

// Whether a process holds a console: only then can another process attach to it.
// Leaves the caller without a console.
bool holdsAConsole(DWORD processId)
{
    FreeConsole();
    const bool attached = AttachConsole(processId) != FALSE;
    FreeConsole();
    return attached;
}

// Set up by the console test: which process to look at, and what the first
// "Environment" broadcast found.
struct ConsoleProbe {
    WNDPROC windowProcedure;
    DWORD processId;
    int broadcasts;
    bool heldAConsole;
} probe;

// Looks at the sender's console while the sender still waits for the answer.
LRESULT CALLBACK probingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_SETTINGCHANGE && lParam != 0 &&
        std::string(reinterpret_cast<const char*>(lParam)) == "Environment" &&
        probe.broadcasts++ == 0)
        probe.heldAConsole = holdsAConsole(probe.processId);
    return CallWindowProcA(probe.windowProcedure, window, message, wParam, lParam);
}

} // namespace

TEST(Envrefresh, BroadcastsBothTextsToEveryTopLevelWindow)
{
    // Two windows here, one in another process.
    SettingChangeWindow first;
    SettingChangeWindow second;
    const std::string readyName = "KorvelinListenerReady-" + std::to_string(GetCurrentProcessId());
    Event listenerReady(readyName);
    ChildProcess listener(commandLineOf("settingchange_listener.exe", readyName));
    HANDLE waitFor[] = {listenerReady.get(), listener.process()};
    ASSERT_EQ(WaitForMultipleObjects(2, waitFor, FALSE, 30000), WAIT_OBJECT_0)
        << "the listener did not start";

    // Arguments are ignored, whatever they look like.
    ChildProcess envrefresh(envrefreshWith("--help /? \"two words\" x"));
    ASSERT_TRUE(envrefresh.waitPumpingMessages(60000)) << "envrefresh did not end";
    const ProgramOutput result = envrefresh.finish();

    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(first.received(OurTexts), TheTwoBroadcasts);
    EXPECT_EQ(second.received(OurTexts), TheTwoBroadcasts);

    const ProgramOutput heard = listener.finish();
    EXPECT_EQ(heard.exitCode, 0u) << heard.err;
    EXPECT_EQ(lines(heard.out), TheTwoBroadcasts);
}

TEST(Envrefresh, EndsDespiteAWindowThatHangs)
{
    HungWindow hung;

    const ULONGLONG start = GetTickCount64();
    ChildProcess envrefresh(envrefreshWith(""));
    // Not a benchmark: a bound far above the two timeouts, to prove the run ends, and
    // one below the first timeout, to prove the first send waited for the window.
    const bool ended = WaitForSingleObject(envrefresh.process(), 15000) == WAIT_OBJECT_0;
    const ULONGLONG elapsed = GetTickCount64() - start;
    ASSERT_TRUE(ended) << "envrefresh still runs after 15 s";
    EXPECT_GE(elapsed, 4000u) << "envrefresh did not wait for the window";

    const ProgramOutput result = envrefresh.finish();
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    std::printf("envrefresh ended after %llu ms\n", elapsed);
}

TEST(Envrefresh, LetsGoOfItsConsoleBeforeItBroadcasts)
{
    // A console of this process's own, which the programs it starts share.
    FreeConsole();
    ASSERT_TRUE(AllocConsole());

    // The probe sees a console where there is one: the listener keeps the shared one.
    const std::string readyName =
        "KorvelinConsoleListener-" + std::to_string(GetCurrentProcessId());
    Event listenerReady(readyName);
    ChildProcess listener(commandLineOf("settingchange_listener.exe", readyName));
    HANDLE waitFor[] = {listenerReady.get(), listener.process()};
    ASSERT_EQ(WaitForMultipleObjects(2, waitFor, FALSE, 30000), WAIT_OBJECT_0)
        << "the listener did not start";
    ASSERT_TRUE(holdsAConsole(GetProcessId(listener.process())));
    listener.finish();

    ASSERT_TRUE(AllocConsole());
    SettingChangeWindow window;
    probe.windowProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        window.handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(probingProcedure)));
    ChildProcess envrefresh(envrefreshWith(""));
    probe.processId = GetProcessId(envrefresh.process());
    ASSERT_TRUE(envrefresh.waitPumpingMessages(60000)) << "envrefresh did not end";

    EXPECT_EQ(probe.broadcasts, 1);
    EXPECT_FALSE(probe.heldAConsole) << "envrefresh still held its console at its first broadcast";
}
