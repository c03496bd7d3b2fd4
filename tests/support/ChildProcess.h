#ifndef KORVELIN_TESTS_CHILDPROCESS_H
#define KORVELIN_TESTS_CHILDPROCESS_H

#include "CodePage.h"

#include <windows.h>

#include <memory>
#include <string>

// What a finished program left behind.
struct ProgramOutput {
    DWORD exitCode;
    std::string out;
    std::string err;
};

// Reads one pipe to its end on a thread of its own, so a child never blocks on a
// full pipe whichever stream it writes first.
class PipeReader {
  public:
    explicit PipeReader(HANDLE readEnd);
    ~PipeReader();
    PipeReader(const PipeReader&) = delete;
    PipeReader& operator=(const PipeReader&) = delete;

    // Waits for the end of the pipe and hands over what came through.
    std::string finish();

  private:
    static DWORD WINAPI readAll(void* self);

    HANDLE m_readEnd;
    HANDLE m_thread;
    std::string m_text;
};

// A running program whose standard streams are pipes of ours. With mergedStreams its
// standard error goes to the same pipe as its standard output, as `2>&1` would do.
class ChildProcess {
  public:
    // The wide command line reaches the program exactly, whatever the code page holds.
    ChildProcess(const std::wstring& commandLine, const std::string& workingDirectory = "",
                 bool mergedStreams = false);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    HANDLE process() const { return m_process; }

    // Waits up to timeoutMs for the program to end while dispatching this thread's
    // window messages, so windows of this thread can answer it. False on timeout.
    bool waitPumpingMessages(DWORD timeoutMs);

    // Ends the program's standard input.
    void closeInput();

    // Waits for the end of the program and of its output.
    ProgramOutput finish();

  private:
    HANDLE m_process;
    HANDLE m_input;
    std::unique_ptr<PipeReader> m_out;
    std::unique_ptr<PipeReader> m_err; // null when merged into m_out
};

ProgramOutput runProgram(const std::wstring& commandLine, const std::string& workingDirectory = "",
                         bool mergedStreams = false);

// Quotes one argument, where it needs quotes, so that the runtime's splitting gives
// it back unchanged.
std::string quoteArgument(const std::string& argument);

// The full path, in UTF-8, of a file in the folder of the running test program: the
// programs under test lie beside the tests, in the build tree as in the test bundle.
std::string besideThisProgram(const std::string& name);

// Whether the tests run under Wine rather than Windows. Where the two differ by
// design (Wine makes links with names past the classic path limit, which Windows'
// narrow calls refuse), a test expects Windows' documented answer on Windows and
// Wine's under Wine.
bool runsUnderWine();

#endif
