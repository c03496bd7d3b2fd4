#include "ChildProcess.h"

#include "System.h"
#include "WindowThread.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace {

// A test run again in a console of its own has what ctest gives a whole test, but for
// the start of the test program: its own waits run out first, and it says which.
const DWORD OwnConsoleTimeoutMs = 110000;

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
        : m_readEnd(std::move(readEnd)), m_thread([this] { m_text = readToEnd(m_readEnd.get()); })
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

// The console of a test that runs in a console of its own (inAConsoleOfItsOwn), blank
// with the cursor at the top so nothing scrolls away, and a handle to it for a program
// to inherit.
class ConsoleScreen {
  public:
    explicit ConsoleScreen(DWORD programAccess)
    {
        if (GetEnvironmentVariableW(InAConsoleOfItsOwnVariable, nullptr, 0) == 0)
            throw std::logic_error("a program on a console runs in a test with a console of "
                                   "its own (inAConsoleOfItsOwn)");
        if (!SetConsoleOutputCP(850))
            failWithLastError("setting the console's output code page");
        m_screen = open(GENERIC_READ | GENERIC_WRITE, false);
        CONSOLE_SCREEN_BUFFER_INFO screen = {};
        DWORD blanked = 0;
        if (!GetConsoleScreenBufferInfo(m_screen.get(), &screen) ||
            !FillConsoleOutputCharacterW(m_screen.get(), L' ', screen.dwSize.X * screen.dwSize.Y,
                                         COORD{0, 0}, &blanked) ||
            !SetConsoleCursorPosition(m_screen.get(), COORD{0, 0}))
            failWithLastError("blanking the console");
        m_forProgram = open(programAccess, true);
    }

    HANDLE forProgram() const { return m_forProgram.get(); }

    // The lines written so far, as the console shows them, in UTF-8.
    std::string shown() const
    {
        CONSOLE_SCREEN_BUFFER_INFO screen = {};
        GetConsoleScreenBufferInfo(m_screen.get(), &screen);
        std::wstring lines;
        for (SHORT y = 0; y < screen.dwCursorPosition.Y; ++y) {
            std::wstring line(screen.dwSize.X, L' ');
            DWORD read = 0;
            ReadConsoleOutputCharacterW(m_screen.get(), &line[0], screen.dwSize.X, COORD{0, y},
                                        &read);
            line.resize(line.find_last_not_of(L' ') + 1);
            lines += line + L"\r\n";
        }
        return narrow(lines, CP_UTF8);
    }

  private:
    static OwnedHandle open(DWORD access, bool inheritable)
    {
        SECURITY_ATTRIBUTES attributes = {sizeof attributes, nullptr, inheritable};
        OwnedHandle handle(
            nullIfInvalid(CreateFileA("CONOUT$", access, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &attributes, OPEN_EXISTING, 0, nullptr)));
        if (!handle)
            failWithLastError("opening CONOUT$");
        return handle;
    }

    OwnedHandle m_screen;
    OwnedHandle m_forProgram;
};

ChildProcess::ChildProcess(const std::wstring& commandLine, const std::string& workingDirectory,
                           Streams streams)
{
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES; // with Streams::None all three stay null
    Pipe input, output, error;
    if (streams == Streams::Pipes || streams == Streams::Merged ||
        streams == Streams::PipesAndANewConsole) {
        input = makePipe(true);
        output = makePipe(false);
        startup.hStdInput = input.childEnd.get();
        startup.hStdOutput = startup.hStdError = output.childEnd.get();
        if (streams != Streams::Merged) {
            error = makePipe(false);
            startup.hStdError = error.childEnd.get();
        }
    } else if (streams == Streams::Console || streams == Streams::ConsoleWriteOnly) {
        m_console = std::make_unique<ConsoleScreen>(
            streams == Streams::Console ? GENERIC_READ | GENERIC_WRITE : GENERIC_WRITE);
        startup.hStdOutput = startup.hStdError = m_console->forProgram();
    }

    std::wstring mutableCommandLine = commandLine; // CreateProcessW may write into it
    const std::wstring directory = widen(workingDirectory);
    PROCESS_INFORMATION info = {};
    const DWORD console = streams == Streams::None                  ? DETACHED_PROCESS
                          : streams == Streams::PipesAndANewConsole ? CREATE_NEW_CONSOLE
                                                                    : 0;
    if (!CreateProcessW(nullptr, &mutableCommandLine[0], nullptr, nullptr, streams != Streams::None,
                        console, nullptr, directory.empty() ? nullptr : directory.c_str(), &startup,
                        &info))
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

ProgramOutput ChildProcess::finish(DWORD timeoutMs)
{
    m_input.reset();
    if (!wait(timeoutMs)) {
        ADD_FAILURE() << "the program still ran after " << timeoutMs / 1000 << " s and was ended";
        TerminateProcess(m_process.get(), 255);
        WaitForSingleObject(m_process.get(), INFINITE);
    }
    ProgramOutput output = {};
    GetExitCodeProcess(m_process.get(), &output.exitCode);
    if (m_out)
        output.out = m_out->finish();
    if (m_err)
        output.err = m_err->finish();
    if (m_console)
        output.out = m_console->shown();
    return output;
}

std::wstring commandLineOf(const std::string& program, const std::vector<std::string>& arguments)
{
    std::string commandLine = quoteArgument(besideThisProgram(program));
    for (const std::string& argument : arguments)
        commandLine += " " + quoteArgument(argument);
    return widen(commandLine, CP_UTF8);
}

namespace {

// The full path of the running test program, in UTF-8.
std::string thisProgram()
{
    // Wide, so that any folder works whatever the code page holds.
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size())
        failWithLastError("GetModuleFileName");
    path.resize(length);
    return narrow(path, CP_UTF8);
}

} // namespace

std::string besideThisProgram(const std::string& name)
{
    const std::string program = thisProgram();
    return program.substr(0, program.rfind('\\') + 1) + name;
}

bool inAConsoleOfItsOwn()
{
    if (GetEnvironmentVariableW(InAConsoleOfItsOwnVariable, nullptr, 0) > 0)
        return true;
    const testing::TestInfo& test = *testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(test.test_suite_name()) + "." + test.name();
    const std::string program = thisProgram();
    // Inherited by the child alone: no other thread of the tests starts a program now.
    SetEnvironmentVariableW(InAConsoleOfItsOwnVariable, L"1");
    ChildProcess child(
        commandLineOf(program.substr(program.rfind('\\') + 1), {"--gtest_filter=" + name}), "",
        Streams::PipesAndANewConsole);
    SetEnvironmentVariableW(InAConsoleOfItsOwnVariable, nullptr);
    const ProgramOutput result = child.finish(OwnConsoleTimeoutMs);
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_NE(result.out.find("[  PASSED  ] 1 test."), std::string::npos)
        << "the test did not pass in a console of its own:\n"
        << result.out << result.err;
    return false;
}
