// launch_bench ROUNDS EMPTY KORVELIN ENVREFRESH
//
// Times whole runs, from process creation to exit, of the empty program, Korvelin
// making one link, cmd's mklink /H and fsutil hardlink create (all four in the
// current folder), then envrefresh with 1 and with 50 listening windows. The
// commands of a round run one after the other, in a rotating order, so drift
// in the machine's speed falls on all of them alike. Prints medians, lower quartiles
// and ratios of the lower quartiles.
//
// Why quartiles: under Wine here a process takes either about 12 ms or about 45 ms
// from start to end, the empty program as much as any, each time at random. Half the
// runs of a contender may fall either way, so a median lands on either hump and a
// ratio of medians swung from 0.33 to 2.9 between runs of the same programs. The
// lower quartile stays on the fast hump, where the programs' own work shows.

#include "SettingChangeWindow.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

double nowMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Runs a command line with its standard streams on NUL, as `> NUL 2>&1` would, and
// returns how long it took; stops the bench when the command fails, since its
// time would mean nothing.
double timeRun(const std::string& commandLine)
{
    static HANDLE nul = [] {
        SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
        return CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inheritable, OPEN_EXISTING, 0, nullptr);
    }();
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = nul;
    startup.hStdError = nul;
    PROCESS_INFORMATION info = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');

    const double start = nowMs();
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                        &info)) {
        std::fprintf(stderr, "cannot start %s: error %lu\n", commandLine.c_str(), GetLastError());
        std::exit(1);
    }
    WaitForSingleObject(info.hProcess, INFINITE);
    const double elapsed = nowMs() - start;

    DWORD exitCode = 1;
    GetExitCodeProcess(info.hProcess, &exitCode);
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    if (exitCode != 0) {
        std::fprintf(stderr, "%s failed with exit code %lu\n", commandLine.c_str(), exitCode);
        std::exit(1);
    }
    return elapsed;
}

// The value below which the given share of the times lie (0.5: the median).
double quantile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const double position = share * static_cast<double>(values.size() - 1);
    const size_t below = static_cast<size_t>(position);
    const size_t above = below + 1 < values.size() ? below + 1 : below;
    return values[below] +
           (values[above] - values[below]) * (position - static_cast<double>(below));
}

double median(const std::vector<double>& values)
{
    return quantile(values, 0.5);
}

double lowerQuartile(const std::vector<double>& values)
{
    return quantile(values, 0.25);
}

struct Contender {
    const char* label;
    // The command line of a round.
    std::string (*commandFor)(const Contender&, int round);
    std::string program;
    std::vector<double> times;
};

std::string quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string linkName(const char* prefix, int round)
{
    return std::string(prefix) + std::to_string(round) + ".txt";
}

// Runs every contender once a round, in an order that rotates with the round.
void race(std::vector<Contender>& contenders, int rounds, void (*afterRound)(int))
{
    for (int round = 0; round < rounds; ++round) {
        for (size_t i = 0; i < contenders.size(); ++i) {
            Contender& contender = contenders[(i + round) % contenders.size()];
            contender.times.push_back(timeRun(contender.commandFor(contender, round)));
        }
        if (afterRound != nullptr)
            afterRound(round);
    }
}

void removeLinks(int round)
{
    for (const char* prefix : {"korvelin-", "mklink-", "fsutil-"})
        DeleteFileA(linkName(prefix, round).c_str());
}

// Windows that answer the broadcast, on a thread that keeps pumping.
class ListeningWindows {
  public:
    explicit ListeningWindows(int count)
        : m_count(count), m_ready(CreateEventA(nullptr, TRUE, FALSE, nullptr))
    {
        m_thread = CreateThread(nullptr, 0, run, this, 0, &m_threadId);
        WaitForSingleObject(m_ready, INFINITE);
    }
    ~ListeningWindows()
    {
        PostThreadMessageA(m_threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        CloseHandle(m_ready);
    }
    ListeningWindows(const ListeningWindows&) = delete;
    ListeningWindows& operator=(const ListeningWindows&) = delete;

  private:
    static DWORD WINAPI run(void* context)
    {
        ListeningWindows* self = static_cast<ListeningWindows*>(context);
        std::vector<std::unique_ptr<SettingChangeWindow>> windows;
        for (int i = 0; i < self->m_count; ++i)
            windows.emplace_back(new SettingChangeWindow);
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
        SetEvent(self->m_ready);
        while (GetMessageA(&message, nullptr, 0, 0) > 0)
            DispatchMessageA(&message);
        return 0;
    }

    int m_count;
    HANDLE m_ready;
    HANDLE m_thread;
    DWORD m_threadId;
};

std::string plainProgram(const Contender& contender, int)
{
    return quoted(contender.program);
}

std::string korvelinLink(const Contender& contender, int round)
{
    return quoted(contender.program) + " " + linkName("korvelin-", round) + " original.txt";
}

std::string mklinkLink(const Contender&, int round)
{
    return "cmd /c mklink /H " + linkName("mklink-", round) + " original.txt";
}

std::string fsutilLink(const Contender&, int round)
{
    return "fsutil hardlink create " + linkName("fsutil-", round) + " original.txt";
}

void report(const std::vector<Contender>& contenders)
{
    for (const Contender& contender : contenders)
        std::printf("  %-34s median %7.2f ms, lower quartile %7.2f ms\n", contender.label,
                    median(contender.times), lowerQuartile(contender.times));
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: launch_bench ROUNDS EMPTY KORVELIN ENVREFRESH\n");
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    const std::string empty = argv[2], korvelin = argv[3], envrefresh = argv[4];

    FILE* original = std::fopen("original.txt", "wb");
    std::fputs("a file with many names\n", original);
    std::fclose(original);

    // Warm every program once, so the first round pays no loading the others do not.
    timeRun(quoted(empty));
    timeRun(quoted(envrefresh));

    std::vector<Contender> links = {
        {"empty program", plainProgram, empty, {}},
        {"Korvelin.exe NEW original.txt", korvelinLink, korvelin, {}},
        {"cmd /c mklink /H NEW original.txt", mklinkLink, "", {}},
        {"fsutil hardlink create NEW ...", fsutilLink, "", {}},
    };
    race(links, rounds, removeLinks);
    DeleteFileA("original.txt");

    std::printf("Making one hard link, %d rounds side by side:\n", rounds);
    report(links);
    std::printf("Ratios of the lower quartiles:\n");
    const double korvelinMs = lowerQuartile(links[1].times);
    std::printf("  Korvelin / empty program   %.3f  (target <= 1.05)\n",
                korvelinMs / lowerQuartile(links[0].times));
    std::printf("  Korvelin / cmd mklink /H   %.3f  (target <= 0.40)\n",
                korvelinMs / lowerQuartile(links[2].times));
    std::printf("  Korvelin / fsutil hardlink %.3f  (target <= 0.40)\n",
                korvelinMs / lowerQuartile(links[3].times));

    for (int windows : {1, 50}) {
        ListeningWindows listening(windows);
        std::vector<Contender> broadcast = {
            {"empty program", plainProgram, empty, {}},
            {"envrefresh.exe", plainProgram, envrefresh, {}},
        };
        race(broadcast, rounds, nullptr);
        std::printf("envrefresh with %d listening window%s, %d rounds side by side:\n", windows,
                    windows == 1 ? "" : "s", rounds);
        report(broadcast);
        std::printf("  envrefresh / empty program %.3f (lower quartiles)\n",
                    lowerQuartile(broadcast[1].times) / lowerQuartile(broadcast[0].times));
    }
    return 0;
}
