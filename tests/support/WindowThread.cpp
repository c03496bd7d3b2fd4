#include "WindowThread.h"

#include "System.h"

#include <stdexcept>

namespace {

OwnedHandle makeEvent()
{
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr)
        failWithLastError("CreateEvent");
    return OwnedHandle(event);
}

} // namespace

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

WindowThread::WindowThread(std::function<void(WindowThread&)> body, Answers answers)
    : m_ready(makeEvent()), m_released(makeEvent()), m_answers(answers), m_thread([this, body] {
          try {
              body(*this);
          } catch (const std::exception& error) {
              // Told to the constructor, on the test's own thread, whose test it fails.
              m_error = error.what();
          }
          SetEvent(m_ready.get()); // in case the body never served
      })
{
    WaitForSingleObject(m_ready.get(), INFINITE);
    if (!m_error.empty()) {
        release();
        throw std::runtime_error(m_error);
    }
}

void WindowThread::serve()
{
    SetEvent(m_ready.get());
    if (m_answers == Answers::Pumping)
        pumpMessagesUntil(m_released.get(), INFINITE);
    else
        WaitForSingleObject(m_released.get(), INFINITE);
}

void WindowThread::release()
{
    SetEvent(m_released.get());
    if (m_thread.joinable())
        m_thread.join();
}
