#ifndef KORVELIN_TESTS_CHILDPROCESS_H
#define KORVELIN_TESTS_CHILDPROCESS_H

#include "System.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// What a finished program left behind.
struct ProgramOutput {
    DWORD exitCode;
    std::string out; // from a console: the lines it shows, in UTF-8
    std::string err;
};

// Where a started program's standard output and standard error go.
enum class Streams {
    Pipes,  // a pipe each, read by the test; standard input a pipe too
    Merged, // one pipe for both, as `2>&1` would do
    None,   // no standard handles and no console, as from a service or a GUI program
    // Both on a console of the test's own, as in a console window with nothing
    // redirected; read back from its screen. Its output code page (850) differs from
    // the system's, so names must reach it as characters, not bytes.
    Console,
    // The same through a handle opened for writing alone, which hides the console
    // from GetConsoleMode.
    ConsoleWriteOnly,
    // Pipes as above, and a console of the program's own, apart from the test's.
    PipesAndANewConsole,
};

class PipeReader;
class ConsoleScreen;

// A program started by a test. The only way the tests start one, and the only place
// that waits for one or ends it: a program still running when its test is over is
// ended, so no test leaves one behind.
class ChildProcess {
  public:
    // The wide command line reaches the program exactly, whatever the code page holds.
    explicit ChildProcess(const std::wstring& commandLine, const std::string& workingDirectory = "",
                          Streams streams = Streams::Pipes);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    HANDLE process() const { return m_process.get(); }

    // Waits up to timeoutMs for the program to end; false on timeout. With
    // pumpMessages, this thread's window messages are dispatched meanwhile, so its
    // windows can answer the program.
    bool wait(DWORD timeoutMs, bool pumpMessages = false);

    // Ends the program's standard input and waits for the end of the program and of
    // its output. One that has not ended within timeoutMs fails the test and is ended.
    ProgramOutput finish(DWORD timeoutMs = 60000);

  private:
    std::unique_ptr<ConsoleScreen> m_console; // first: the program's handle comes from it
    OwnedHandle m_process;
    OwnedHandle m_input;
    std::unique_ptr<PipeReader> m_out;
    std::unique_ptr<PipeReader> m_err; // null unless standard error has a pipe of its own
};

// The command line of a program beside the tests with these arguments (UTF-8), each
// quoted where it needs it so that the runtime's splitting gives it back unchanged.
// Wide: the arguments and the folder reach the program exactly, whatever they hold.
std::wstring commandLineOf(const std::string& program, const std::vector<std::string>& arguments);

// For a test that makes a console of its own or attaches to another's, which takes the
// test program out of the console it was started in: its output would no longer reach
// whoever started it. Such a test runs again, alone, in a child process of the test
// program with a console of its own; the child's result is the test's here.
// True in the child, where the test goes on; false in the test program itself, where
// the test ends.
bool inAConsoleOfItsOwn();

// Set in the environment of that child.
const wchar_t InAConsoleOfItsOwnVariable[] = L"KORVELIN_TEST_IN_A_CONSOLE_OF_ITS_OWN";

// The full path, in UTF-8, of a file in the folder of the running test program: the
// programs under test lie beside the tests, in the build tree as in the test bundle.
std::string besideThisProgram(const std::string& name);

#endif
