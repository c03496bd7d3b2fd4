#ifndef KORVELIN_TESTS_CHILDPROCESS_H
#define KORVELIN_TESTS_CHILDPROCESS_H

#include "CodePage.h"
#include "Owned.h"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// What a finished program left behind.
struct ProgramOutput {
    DWORD exitCode;
    std::string out;
    std::string err;
};

// Where a started program's standard output and standard error go.
enum class Streams {
    Pipes,  // a pipe each, read by the test; standard input a pipe too
    Merged, // one pipe for both, as `2>&1` would do
    Given,  // one inheritable handle of the test's (a console), for both
    None,   // no standard handles and no console, as from a service or a GUI program
};

class PipeReader;

// A program started by a test. The only way the tests start one, and the only place
// that waits for one or ends it: a program still running when its test is over is
// ended, so no test leaves one behind.
class ChildProcess {
  public:
    // The wide command line reaches the program exactly, whatever the code page holds.
    explicit ChildProcess(const std::wstring& commandLine, const std::string& workingDirectory = "",
                          Streams streams = Streams::Pipes, HANDLE given = nullptr);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    HANDLE process() const { return m_process.get(); }

    // Waits up to timeoutMs for the program to end; false on timeout. With
    // pumpMessages, this thread's window messages are dispatched meanwhile, so its
    // windows can answer the program.
    bool wait(DWORD timeoutMs, bool pumpMessages = false);

    // Waits up to timeoutMs for the event to be set; false when the program ended
    // first or the time ran out.
    bool waitForEvent(HANDLE event, DWORD timeoutMs);

    // Ends the program's standard input and waits for the end of the program and of
    // its output. One that has not ended within a minute fails the test and is ended.
    ProgramOutput finish();

  private:
    OwnedHandle m_process;
    OwnedHandle m_input;
    std::unique_ptr<PipeReader> m_out;
    std::unique_ptr<PipeReader> m_err; // null unless standard error has a pipe of its own
};

ProgramOutput runProgram(const std::wstring& commandLine, const std::string& workingDirectory = "",
                         Streams streams = Streams::Pipes);

// The command line of a program beside the tests with these arguments (UTF-8), each
// quoted where it needs it so that the runtime's splitting gives it back unchanged.
// Wide: the arguments and the folder reach the program exactly, whatever they hold.
std::wstring commandLineOf(const std::string& program, const std::vector<std::string>& arguments);

// The full path, in UTF-8, of a file in the folder of the running test program: the
// programs under test lie beside the tests, in the build tree as in the test bundle.
std::string besideThisProgram(const std::string& name);

// Dispatches this thread's window messages, those that other threads and programs send
// too, until the object is signalled or timeoutMs is over; false on timeout. All that
// while the thread waits for input, as a program that answers does.
bool pumpMessagesUntil(HANDLE object, DWORD timeoutMs);

// Whether a row of a table runs on this system; says so in one line when it does not,
// since what a row needs (a name of the code page, Windows' or Wine's behaviour) is
// not there everywhere.
bool rowRunsHere(const std::string& what, bool runs);

// Whether the tests run under Wine rather than Windows. Where the two differ by
// design (Wine makes links with names past the classic path limit, which Windows'
// narrow calls refuse), a test expects Windows' documented answer on Windows and
// Wine's under Wine.
bool runsUnderWine();

#endif
