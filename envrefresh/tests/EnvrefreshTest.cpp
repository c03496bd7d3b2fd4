// envrefresh.exe from the outside: the two broadcasts as real windows receive them,
// in this process and in another, and its silence and exit code.

#include "ChildProcess.h"
#include "SettingChangeWindow.h"
#include "System.h"
#include "WindowThread.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> OurTexts = {"Environment", "ENVIRONMENT"};
const std::vector<std::string> TheTwoBroadcasts = {"0 Environment", "0 ENVIRONMENT"};

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    size_t start = 0;
    for (size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        result.push_back(text.substr(start, end - start));
    return result;
}

// The listener, a second program with a settings-change window, once its window is
// there. It reports what it heard when its standard input ends (finish()).
std::unique_ptr<ChildProcess> startListener()
{
    static int started = 0;
    const std::string readyName = "KorvelinListenerReady-" + std::to_string(GetCurrentProcessId()) +
                                  "-" + std::to_string(++started);
    const OwnedHandle ready(CreateEventA(nullptr, TRUE, FALSE, readyName.c_str()));
    if (!ready)
        failWithLastError("CreateEvent");
    auto listener =
        std::make_unique<ChildProcess>(commandLineOf("settingchange_listener.exe", {readyName}));
    HANDLE readyOrEnded[] = {ready.get(), listener->process()};
    if (WaitForMultipleObjects(2, readyOrEnded, FALSE, 30000) != WAIT_OBJECT_0)
        throw std::runtime_error("the listener did not start");
    return listener;
}

const char ReleaseProperty[] = "KorvelinRelease";

// Answers a settings change only once released, pumping messages meanwhile (the
// next settings change too): busy, but never hung to the system.
LRESULT CALLBACK answeringWhenReleased(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message != WM_SETTINGCHANGE)
        return DefWindowProcA(window, message, wParam, lParam);
    pumpMessagesUntil(GetPropA(window, ReleaseProperty), INFINITE);
    return 0;
}

// A window that answers no settings change until its thread is released. One that
// hangs stops pumping messages once it is made; one that is slow goes on pumping, so
// the system never takes it for hung and waits for it every time.
void makeUnansweringWindow(WindowThread& thread)
{
    SettingChangeWindow window;
    SetPropA(window.handle(), ReleaseProperty, thread.released());
    SetWindowLongPtrA(window.handle(), GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(answeringWhenReleased));
    thread.serve();
    RemovePropA(window.handle(), ReleaseProperty);
}

// Whether a process holds a console: only then can another process attach to it.
// Leaves the caller without a console.
bool holdsAConsole(DWORD processId)
{
    FreeConsole();
    const bool attached = AttachConsole(processId) != FALSE;
    FreeConsole();
    return attached;
}

// Set up by the console test, afresh each time it runs: which process to look at, and
// what the first "Environment" broadcast found.
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
    const std::unique_ptr<ChildProcess> listener = startListener();

    // Arguments are ignored, whatever they look like.
    ChildProcess envrefresh(commandLineOf("envrefresh.exe", {"--help", "/?", "two words", "x"}));
    ASSERT_TRUE(envrefresh.wait(60000, true)) << "envrefresh did not end";
    const ProgramOutput result = envrefresh.finish();

    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(first.received(OurTexts), TheTwoBroadcasts);
    EXPECT_EQ(second.received(OurTexts), TheTwoBroadcasts);

    const ProgramOutput heard = listener->finish();
    EXPECT_EQ(heard.exitCode, 0u) << heard.err;
    EXPECT_EQ(lines(heard.out), TheTwoBroadcasts);
}

// Not a benchmark: bounds with seconds of margin. A lower one proves that a send
// waited for the window, an upper one that the wait was bounded by the timeout of 5 s.
struct Unanswering {
    const char* what;
    WindowThread::Answers answers;
    ULONGLONG atLeastMs;
    DWORD atMostMs;
};

class EnvrefreshWaiting : public testing::TestWithParam<Unanswering> {};

TEST_P(EnvrefreshWaiting, ForAWindowThatDoesNotAnswerNoLongerThanTheTimeout)
{
    const Unanswering& row = GetParam();
    WindowThread window(makeUnansweringWindow, row.answers);

    const ULONGLONG start = GetTickCount64();
    ChildProcess envrefresh(commandLineOf("envrefresh.exe", {}));
    const bool ended = envrefresh.wait(row.atMostMs);
    const ULONGLONG elapsed = GetTickCount64() - start;
    std::printf("%s: envrefresh ended after %llu ms\n", row.what, elapsed);
    ASSERT_TRUE(ended) << "envrefresh still runs after " << row.atMostMs << " ms";
    EXPECT_GE(elapsed, row.atLeastMs) << "envrefresh did not wait for the window";

    const ProgramOutput result = envrefresh.finish();
    EXPECT_EQ(result.exitCode, 0u);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "");
}

INSTANTIATE_TEST_SUITE_P(Window, EnvrefreshWaiting,
                         testing::Values(
                             // Not hung yet at the first send, which waits out its timeout; hung by
                             // the second, which does not wait for it at all.
                             Unanswering{"hangs", WindowThread::Answers::Never, 4000, 15000},
                             // Busy, never hung: each send waits its whole timeout, 10 s in all
                             // (twice a longer timeout, 24 s for one of 12 s).
                             Unanswering{"keeps_pumping_messages", WindowThread::Answers::Pumping,
                                         8000, 20000}),
                         rowName<Unanswering>);

TEST(Envrefresh, LetsGoOfItsConsoleBeforeItBroadcasts)
{
    // The probe leaves its console and makes another, which the programs it starts share.
    if (!inAConsoleOfItsOwn())
        return;
    probe = ConsoleProbe{};

    // The probe sees a console where there is one: the listener keeps the shared one.
    const std::unique_ptr<ChildProcess> listener = startListener();
    ASSERT_TRUE(holdsAConsole(GetProcessId(listener->process())));
    listener->finish();

    ASSERT_TRUE(AllocConsole());
    SettingChangeWindow window;
    probe.windowProcedure = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        window.handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(probingProcedure)));
    ChildProcess envrefresh(commandLineOf("envrefresh.exe", {}));
    probe.processId = GetProcessId(envrefresh.process());
    ASSERT_TRUE(envrefresh.wait(60000, true)) << "envrefresh did not end";

    EXPECT_EQ(probe.broadcasts, 1);
    EXPECT_FALSE(probe.heldAConsole) << "envrefresh still held its console at its first broadcast";
}
