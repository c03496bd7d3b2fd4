#include "ChildProcess.h"

#include "SystemErrorText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <thread>

namespace {

// However long a run of the programs under test may take before it counts as hung.
const DWORD FinishTimeoutMs = 60000;

struct Pipe {
    OwnedHandle parentEnd; // not inherited
    OwnedHandle childEnd;  // inheritable, closed once the child holds its copy
};

Pipe makePipe(bool childReads)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        failWithLastError("CreatePipe");
    Pipe pipe{OwnedHandle(childReads ? writeEnd : readEnd),
              OwnedHandle(childReads ? readEnd : writeEnd)};
    SetHandleInformation(pipe.parentEnd.get(), HANDLE_FLAG_INHERIT, 0);
    return pipe;
}

// Quotes one argument, where it needs quotes, as a person would type it.
std::string quoteArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    // Backslashes are literal except before a quote, where they must be doubled.
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"')
            backslashes = backslashes * 2 + 1;
        quoted.append(backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    quoted += '"';
    return quoted;
}

} // namespace

// Reads one pipe to its end on a thread of its own, so a child never blocks on a full
// pipe whichever stream it writes first.
class PipeReader {
  public:
    explicit PipeReader(OwnedHandle readEnd)
        : m_readEnd(std::move(readEnd)), m_thread([this] {
              char chunk[4096];
              DWORD count = 0;
              while (ReadFile(m_readEnd.get(), chunk, sizeof chunk, &count, nullptr) && count > 0)
                  m_text.append(chunk, count);
          })
    {
    }
    ~PipeReader() { finish(); }

    // Waits for the end of the pipe and hands over what came through.
    std::string finish()
    {
        if (m_thread.joinable())
            m_thread.join();
        return m_text;
    }

  private:
    OwnedHandle m_readEnd;
    std::string m_text;
    std::thread m_thread; // last: it starts once the rest is there
};

ChildProcess::ChildProcess(const std::wstring& commandLine, const std::string& workingDirectory,
                           Streams streams, HANDLE given)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES; // with Streams::None all three stay null
    Pipe input, output, error;
    if (streams == Streams::Pipes || streams == Streams::Merged) {
        input = makePipe(true);
        output = makePipe(false);
        startup.hStdInput = input.childEnd.get();
        startup.hStdOutput = startup.hStdError = output.childEnd.get();
        if (streams == Streams::Pipes) {
            error = makePipe(false);
            startup.hStdError = error.childEnd.get();
        }
    } else if (streams == Streams::Given) {
        startup.hStdOutput = startup.hStdError = given;
    }

    std::wstring mutableCommandLine = commandLine; // CreateProcessW may write into it
    const std::wstring directory = widen(workingDirectory);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(nullptr, &mutableCommandLine[0], nullptr, nullptr, streams != Streams::None,
                        streams == Streams::None ? DETACHED_PROCESS : 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &info))
        failWithLastError("CreateProcess");
    const OwnedHandle thread(info.hThread); // not needed: released on the way out
    m_process.reset(info.hProcess);
    m_input = std::move(input.parentEnd);
    if (output.parentEnd)
        m_out = std::make_unique<PipeReader>(std::move(output.parentEnd));
    if (error.parentEnd)
        m_err = std::make_unique<PipeReader>(std::move(error.parentEnd));
    // The child ends close here: the child holds its own copies, and ours would keep
    // the pipes from ending.
}

ChildProcess::~ChildProcess()
{
    if (WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT)
        TerminateProcess(m_process.get(), 255);
}

bool ChildProcess::wait(DWORD timeoutMs, bool pumpMessages)
{
    return pumpMessages ? pumpMessagesUntil(m_process.get(), timeoutMs)
                        : WaitForSingleObject(m_process.get(), timeoutMs) == WAIT_OBJECT_0;
}

bool ChildProcess::waitForEvent(HANDLE event, DWORD timeoutMs)
{
    HANDLE either[] = {event, m_process.get()};
    return WaitForMultipleObjects(2, either, FALSE, timeoutMs) == WAIT_OBJECT_0;
}

ProgramOutput ChildProcess::finish()
{
    m_input.reset();
    if (!wait(FinishTimeoutMs)) {
        ADD_FAILURE() << "the program still ran after " << FinishTimeoutMs / 1000
                      << " s and was ended";
        TerminateProcess(m_process.get(), 255);
        WaitForSingleObject(m_process.get(), INFINITE);
    }
    ProgramOutput output = {};
    GetExitCodeProcess(m_process.get(), &output.exitCode);
    if (m_out)
        output.out = m_out->finish();
    if (m_err)
        output.err = m_err->finish();
    return output;
}

ProgramOutput runProgram(const std::wstring& commandLine, const std::string& workingDirectory,
                         Streams streams)
{
    return ChildProcess(commandLine, workingDirectory, streams).finish();
}

std::wstring commandLineOf(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string commandLine = quoteArgument(besideThisProgram(program));
    for (const std::string& argument : arguments)
        commandLine += " " + quoteArgument(argument);
    return widen(commandLine, CP_UTF8);
}

std::string besideThisProgram(const std::string& name)
{
    // Wide, so that any folder works whatever the code page holds.
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        failWithLastError("GetModuleFileName");
    path.resize(length);
    return narrow(path.substr(0, path.rfind(L'\\') + 1), CP_UTF8) + name;
}

bool pumpMessagesUntil(HANDLE object, DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = timeoutMs == INFINITE ? INFINITE
                           : now < deadline      ? static_cast<DWORD>(deadline - now)
                                                 : 0;
        const DWORD result = MsgWaitForMultipleObjects(1, &object, FALSE, left, QS_ALLINPUT);
        if (result != WAIT_OBJECT_0 + 1)
            return result == WAIT_OBJECT_0;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

bool rowRunsHere(const std::string& what, bool runs)
{
    if (!runs)
        std::printf("row not run on this system (code page %u): %s\n", GetACP(), what.c_str());
    return runs;
}

bool runsUnderWine()
{
    // Wine's ntdll exports its version; Windows' has no such function.
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
