#include "ChildProcess.h"

#include <stdexcept>
#include <vector>

namespace {

[[noreturn]] void fail(const std::string& what)
{
    throw std::runtime_error(what + " failed, error " + std::to_string(GetLastError()));
}

// A pipe whose child end is inheritable and whose parent end is not.
void makePipe(HANDLE* parentEnd, HANDLE* childEnd, bool childReads)
{
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inheritable, 0))
        fail("CreatePipe");
    *parentEnd = childReads ? writeEnd : readEnd;
    *childEnd = childReads ? readEnd : writeEnd;
    SetHandleInformation(*parentEnd, HANDLE_FLAG_INHERIT, 0);
}

} // namespace

PipeReader::PipeReader(HANDLE readEnd) : m_readEnd(readEnd), m_thread(nullptr)
{
    m_thread = CreateThread(nullptr, 0, readAll, this, 0, nullptr);
    if (m_thread == nullptr) {
        CloseHandle(m_readEnd);
        fail("CreateThread");
    }
}

PipeReader::~PipeReader()
{
    finish();
    CloseHandle(m_thread);
    CloseHandle(m_readEnd);
}

std::string PipeReader::finish()
{
    WaitForSingleObject(m_thread, INFINITE);
    return m_text;
}

DWORD WINAPI PipeReader::readAll(void* self)
{
    PipeReader* reader = static_cast<PipeReader*>(self);
    char chunk[4096];
    DWORD count = 0;
    while (ReadFile(reader->m_readEnd, chunk, sizeof chunk, &count, nullptr) && count > 0)
        reader->m_text.append(chunk, count);
    return 0;
}

ChildProcess::ChildProcess(const std::wstring& commandLine, const std::string& workingDirectory,
                           bool mergedStreams)
    : m_process(nullptr), m_input(nullptr)
{
    HANDLE childInput = nullptr, childOut = nullptr, childErr = nullptr;
    HANDLE outRead = nullptr, errRead = nullptr;
    makePipe(&m_input, &childInput, true);
    makePipe(&outRead, &childOut, false);
    if (!mergedStreams)
        makePipe(&errRead, &childErr, false);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childInput;
    startup.hStdOutput = childOut;
    startup.hStdError = mergedStreams ? childOut : childErr;

    PROCESS_INFORMATION info = {};
    std::vector<wchar_t> mutableCommandLine(commandLine.begin(), commandLine.end());
    mutableCommandLine.push_back(L'\0');
    const std::wstring directory = widen(workingDirectory);
    const BOOL started =
        CreateProcessW(nullptr, mutableCommandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       directory.empty() ? nullptr : directory.c_str(), &startup, &info);
    const DWORD startError = GetLastError();

    // The child holds its own copies now; ours would keep the pipes from ending.
    CloseHandle(childInput);
    CloseHandle(childOut);
    if (childErr != nullptr)
        CloseHandle(childErr);

    m_out.reset(new PipeReader(outRead));
    if (errRead != nullptr)
        m_err.reset(new PipeReader(errRead));

    if (!started) {
        CloseHandle(m_input);
        SetLastError(startError);
        fail("CreateProcess");
    }
    CloseHandle(info.hThread);
    m_process = info.hProcess;
}

ChildProcess::~ChildProcess()
{
    if (WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT)
        TerminateProcess(m_process, 255);
    closeInput();
    CloseHandle(m_process);
}

bool ChildProcess::waitPumpingMessages(DWORD timeoutMs)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline)
            return false;
        const DWORD result = MsgWaitForMultipleObjects(
            1, &m_process, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        if (result == WAIT_OBJECT_0)
            return true;
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
}

void ChildProcess::closeInput()
{
    if (m_input != nullptr) {
        CloseHandle(m_input);
        m_input = nullptr;
    }
}

ProgramOutput ChildProcess::finish()
{
    closeInput();
    WaitForSingleObject(m_process, INFINITE);
    ProgramOutput output = {};
    GetExitCodeProcess(m_process, &output.exitCode);
    output.out = m_out->finish();
    if (m_err != nullptr)
        output.err = m_err->finish();
    return output;
}

ProgramOutput runProgram(const std::wstring& commandLine, const std::string& workingDirectory,
                         bool mergedStreams)
{
    ChildProcess child(commandLine, workingDirectory, mergedStreams);
    return child.finish();
}

std::string quoteArgument(const std::string& argument)
{
    // Only where needed, as a person would type it: quotes change nothing else.
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

std::string besideThisProgram(const std::string& name)
{
    // Wide, so that any folder works whatever the code page holds.
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        fail("GetModuleFileName");
    path.resize(length);
    return narrow(path.substr(0, path.rfind(L'\\') + 1), CP_UTF8) + name;
}

bool runsUnderWine()
{
    // Wine's ntdll exports its version; Windows' has no such function.
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
