#ifndef KORVELIN_TESTS_WINDOWTHREAD_H
#define KORVELIN_TESTS_WINDOWTHREAD_H

#include "System.h"

#include <windows.h>

#include <functional>
#include <string>
#include <thread>

// Dispatches this thread's window messages, those that other threads and programs send
// too, until the object is signalled or timeoutMs is over; false on timeout. All that
// while the thread waits for input, as a program that answers does.
bool pumpMessagesUntil(HANDLE object, DWORD timeoutMs);

// Windows on a thread of their own, which answers them until released. A window belongs
// to the thread that made it and is destroyed there: `body` makes the windows, calls
// serve(), which returns once the thread is released, and lets them go.
class WindowThread {
  public:
    enum class Answers {
        Pumping, // dispatches messages until released, as a program that answers does
        Never,   // stops pumping once its windows exist, as a hung program does
    };

    explicit WindowThread(std::function<void(WindowThread&)> body,
                          Answers answers = Answers::Pumping);
    // Releases the thread and waits for it.
    ~WindowThread() { release(); }
    WindowThread(const WindowThread&) = delete;
    WindowThread& operator=(const WindowThread&) = delete;

    // For the body, once its windows are there: tells the constructor, then answers
    // (or not) until released.
    void serve();
    // Set when the thread is released; a window procedure may wait on it too.
    HANDLE released() const { return m_released.get(); }
    void release();

  private:
    OwnedHandle m_ready;
    OwnedHandle m_released;
    Answers m_answers;
    std::string m_error;
    std::thread m_thread; // last: it starts once the rest is there
};

#endif
