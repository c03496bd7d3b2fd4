// launch_bench ROUNDS [KORVELIN...]
//
// Times whole runs, from process creation to exit, of the empty program, Korvelin
// making one link, each other build of Korvelin named (beside the bench: another
// build's file, compared side by side), cmd's mklink /H and fsutil hardlink create
// (links in the current folder, the programs beside the bench), then envrefresh with
// 1 and with 50 listening windows. The commands of a round run one after the other,
// in a rotating order, so drift in the machine's speed falls on all of them alike.
// Prints medians, lower quartiles and ratios of the lower quartiles.
//
// Why quartiles: under Wine here a process takes either about 12 ms or about 45 ms
// from start to end, the empty program as much as any, each time at random. Half the
// runs of a contender may fall either way, so a median lands on either hump and a
// ratio of medians swung from 0.33 to 2.9 between runs of the same programs. The
// lower quartile stays on the fast hump, where the programs' own work shows.

#include "ChildProcess.h"
#include "SettingChangeWindow.h"
#include "WindowThread.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
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

// Starts that Wine refused with ERROR_INTERNAL_ERROR and that were made again.
int startsMadeAgain = 0;

// Runs a command line without standard handles and returns how long it took, from
// start to exit; stops the bench when the command fails, since its time would mean
// nothing.
double timeRun(const std::wstring& commandLine)
{
    // Wine's NtCreateUserProcess answers STATUS_INTERNAL_ERROR (error 1359) when the new
    // process ended before it had started, without an exit code of its own. Seen once
    // on the first start of a bench run that followed another at once: nothing of the
    // program ran, so that start is made again, at most twice, and counted.
    const std::string refusedStart = "CreateProcess failed, error 1359:";
    for (int attempt = 1;; ++attempt) {
        try {
            const double start = nowMs();
            const ProgramOutput result = ChildProcess(commandLine, "", Streams::None).finish();
            const double elapsed = nowMs() - start;
            if (result.exitCode != 0) {
                std::fprintf(stderr, "%ls failed with exit code %lu\n", commandLine.c_str(),
                             result.exitCode);
                std::exit(1);
            }
            return elapsed;
        } catch (const std::runtime_error& failure) {
            if (attempt == 3 || std::string(failure.what()).rfind(refusedStart, 0) != 0)
                throw;
            ++startsMadeAgain;
        }
    }
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
    std::wstring (*commandFor)(const Contender&, int round);
    std::string program; // beside the bench
    std::vector<double> times;
};

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

// Every link of the round, whoever made it: NAME-ROUND.txt.
void removeLinks(int round)
{
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA(linkName("*-", round).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do
        DeleteFileA(found.cFileName);
    while (FindNextFileA(search, &found));
    FindClose(search);
}

// Windows that answer the broadcast, on a thread that keeps pumping.
void listen(int count, WindowThread& thread)
{
    std::vector<std::unique_ptr<SettingChangeWindow>> windows;
    for (int i = 0; i < count; ++i)
        windows.emplace_back(new SettingChangeWindow);
    thread.serve();
}

std::wstring plainProgram(const Contender& contender, int)
{
    return commandLineOf(contender.program, {});
}

std::wstring korvelinLink(const Contender& contender, int round)
{
    return commandLineOf(contender.program,
                         {linkName((contender.program + "-").c_str(), round), "original.txt"});
}

std::wstring mklinkLink(const Contender&, int round)
{
    return widen("cmd /c mklink /H " + linkName("mklink-", round) + " original.txt");
}

std::wstring fsutilLink(const Contender&, int round)
{
    return widen("fsutil hardlink create " + linkName("fsutil-", round) + " original.txt");
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
    if (argc < 2) {
        std::fprintf(stderr, "usage: launch_bench ROUNDS [KORVELIN...]\n");
        return 2;
    }
    const int rounds = std::atoi(argv[1]);
    const std::string empty = "empty_program.exe", korvelin = "Korvelin.exe",
                      envrefresh = "envrefresh.exe";

    FILE* original = std::fopen("original.txt", "wb");
    std::fputs("a file with many names\n", original);
    std::fclose(original);

    // Warm every program once, so the first round pays no loading the others do not.
    timeRun(commandLineOf(empty, {}));
    timeRun(commandLineOf(envrefresh, {}));

    std::vector<Contender> links = {
        {"empty program", plainProgram, empty, {}},
        {"Korvelin.exe NEW original.txt", korvelinLink, korvelin, {}},
        {"cmd /c mklink /H NEW original.txt", mklinkLink, "", {}},
        {"fsutil hardlink create NEW ...", fsutilLink, "", {}},
    };
    for (int i = 2; i < argc; ++i)
        links.push_back({argv[i], korvelinLink, argv[i], {}});
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
    for (size_t i = 4; i < links.size(); ++i)
        std::printf("  %s / empty program %.3f, / Korvelin %.3f\n", links[i].label,
                    lowerQuartile(links[i].times) / lowerQuartile(links[0].times),
                    lowerQuartile(links[i].times) / korvelinMs);

    for (int windows : {1, 50}) {
        WindowThread listening([windows](WindowThread& thread) { listen(windows, thread); });
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
    if (startsMadeAgain > 0)
        std::printf("%d start%s refused by Wine with error 1359 and made again\n", startsMadeAgain,
                    startsMadeAgain == 1 ? "" : "s");
    return 0;
}
