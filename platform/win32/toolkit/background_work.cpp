#include "platform/win32/toolkit/background_work.h"

#include <exception>

namespace oriel::win32 {

namespace {

struct Job {
  const std::function<void()>* work;
  std::exception_ptr error;
};

// Nothing may unwind out of a thread procedure: what work throws goes back
// to the waiting thread.
DWORD WINAPI JobThread(void* parameter) {
  Job& job = *static_cast<Job*>(parameter);
  try {
    (*job.work)();
  } catch (...) {
    job.error = std::current_exception();
  }
  return 0;
}

}  // namespace

void RunWhileAnswering(HWND dialog, const std::function<void()>& work) {
  Job job{&work, nullptr};
  HANDLE thread = ::CreateThread(nullptr, 0, &JobThread, &job, 0, nullptr);
  if (thread == nullptr) {
    work();
    return;
  }
  bool quit = false;
  WPARAM quitCode = 0;
  // https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-msgwaitformultipleobjects
  while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      // Kept for the loop that owns it, after the wait.
      if (message.message == WM_QUIT) {
        quit = true;
        quitCode = message.wParam;
        continue;
      }
      if (dialog != nullptr && ::IsDialogMessageW(dialog, &message)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
  }
  // The thread ended, or the wait failed: then it is waited for plainly, as
  // job lives on this stack.
  ::WaitForSingleObject(thread, INFINITE);
  ::CloseHandle(thread);
  if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
  if (job.error) std::rethrow_exception(job.error);
}

}  // namespace oriel::win32
