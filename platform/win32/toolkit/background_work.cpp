#include "platform/win32/toolkit/background_work.h"

#include <exception>
#include <vector>

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

// The dialog waited over on this (the only UI) thread, and the thread of
// its work; a nested wait keeps the outer one's to put back.
HWND waitingOver = nullptr;
HANDLE waitingFor = nullptr;

// Calls of the work's being run on this thread now (a box of its may be
// open below the current message).
int answeringCalls = 0;

struct DialogThreadCall {
  const std::function<void()>* call;
  std::exception_ptr error;
  bool ran = false;
};

struct Controls {
  HWND dialog;
  std::vector<HWND> disabled;  // to enable again
};

// Nothing may unwind through EnumChildWindows: a control that cannot be
// recorded is left as it is.
BOOL CALLBACK DisableControl(HWND child, LPARAM parameter) {
  auto& controls = *reinterpret_cast<Controls*>(parameter);
  if (::GetParent(child) != controls.dialog || !::IsWindowEnabled(child)) return TRUE;
  try {
    controls.disabled.push_back(child);
  } catch (...) {
    return FALSE;
  }
  ::EnableWindow(child, FALSE);
  return TRUE;
}

class WaitGuard {
 public:
  explicit WaitGuard(HWND dialog) : dialog_(dialog), outer_(waitingOver), outerThread_(waitingFor) {
    waitingOver = dialog;
    waitingFor = nullptr;  // until the work's thread runs
    if (dialog_ == nullptr) return;
    focus_ = ::GetFocus();
    owner_ = ::GetWindow(dialog_, GW_OWNER);
    // EnableWindow answers whether the window was disabled before.
    ownerWasEnabled_ = owner_ != nullptr && !::EnableWindow(owner_, FALSE);
    ::EnumChildWindows(dialog_, &DisableControl, reinterpret_cast<LPARAM>(&controls_));
    // EnableMenuItem answers the item's state before, or -1 without one.
    closeWasEnabled_ =
        ::EnableMenuItem(::GetSystemMenu(dialog_, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED) == MF_ENABLED;
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  }
  ~WaitGuard() {
    waitingOver = outer_;
    waitingFor = outerThread_;
    if (dialog_ == nullptr) return;
    for (HWND control : controls_.disabled) ::EnableWindow(control, TRUE);
    if (closeWasEnabled_) ::EnableMenuItem(::GetSystemMenu(dialog_, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_ENABLED);
    if (ownerWasEnabled_) ::EnableWindow(owner_, TRUE);
    ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
    if (focus_ != nullptr && ::IsChild(dialog_, focus_)) ::SetFocus(focus_);
  }
  WaitGuard(const WaitGuard&) = delete;
  WaitGuard& operator=(const WaitGuard&) = delete;

 private:
  HWND dialog_;
  HWND outer_;
  HANDLE outerThread_;
  HWND focus_ = nullptr;
  HWND owner_ = nullptr;
  bool ownerWasEnabled_ = false;
  bool closeWasEnabled_ = false;
  Controls controls_{dialog_, {}};
};

}  // namespace

bool IsWaitingOver(HWND dialog) { return dialog != nullptr && dialog == waitingOver; }

void RunWhileAnswering(HWND dialog, const std::function<void()>& work) {
  const WaitGuard guard(dialog);
  Job job{&work, nullptr};
  HANDLE thread = ::CreateThread(nullptr, 0, &JobThread, &job, 0, nullptr);
  if (thread == nullptr) {
    work();
    return;
  }
  waitingFor = thread;
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
  waitingFor = nullptr;
  ::CloseHandle(thread);
  if (quit) ::PostQuitMessage(static_cast<int>(quitCode));
  if (job.error) std::rethrow_exception(job.error);
}

// A sent message, rather than a posted one: sent messages reach the thread in
// any loop it runs, a menu's, a move's or a message box's included, where a
// posted thread message would be lost.
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-sendmessage
bool RunOnDialogThread(HWND dialog, const std::function<void()>& call) {
  if (::GetWindowThreadProcessId(dialog, nullptr) == ::GetCurrentThreadId()) {
    call();
    return true;
  }
  DialogThreadCall request{&call, nullptr};
  ::SendMessageW(dialog, kRunOnDialogThreadMessage, 0, reinterpret_cast<LPARAM>(&request));
  if (request.error) std::rethrow_exception(request.error);
  return request.ran;
}

// Nothing may unwind through the sender's wait: what call throws goes back
// to it.
void AnswerRunOnDialogThread(LPARAM parameter) {
  auto& request = *reinterpret_cast<DialogThreadCall*>(parameter);
  request.ran = true;
  ++answeringCalls;
  try {
    (*request.call)();
  } catch (...) {
    request.error = std::current_exception();
  }
  --answeringCalls;
}

void FinishWorkOver(HWND dialog) {
  // A work that waits for a call running below this message cannot end first.
  if (!IsWaitingOver(dialog) || waitingFor == nullptr || answeringCalls > 0) return;
  // https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-peekmessagew (PM_QS_SENDMESSAGE)
  while (::MsgWaitForMultipleObjects(1, &waitingFor, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace oriel::win32
