#pragma once
// Long work off the UI thread, so that Windows does not mark the wizard
// "Not Responding" while a service starts or a driver is installed.
#include <windows.h>

#include <functional>

namespace oriel::win32 {

// Runs work on a thread of its own and answers this thread's messages until
// it ends (dialog's keyboard handling included); what work threw is thrown
// here. Where no thread can be made, work runs here. Meanwhile nothing can
// be started from the dialog or the window beneath it: the dialog's
// controls, its close box and its owner are disabled, and the wait cursor
// shows over it; all are put back afterwards.
void RunWhileAnswering(HWND dialog, const std::function<void()>& work);

// Whether RunWhileAnswering waits over this dialog now: its OK and Cancel
// commands are then ignored and its cursor is the wait cursor.
bool IsWaitingOver(HWND dialog);

// For work run by RunWhileAnswering over dialog: runs call on the dialog's
// thread, between the messages it answers there (so a message box it shows
// is owned and driven by that thread), and returns once call has returned;
// what call threw is thrown here. Called on the dialog's own thread, it just
// calls. false when call could not be run (the dialog is gone).
bool RunOnDialogThread(HWND dialog, const std::function<void()>& call);

// The message RunOnDialogThread sends; a DialogPage hands it to
// AnswerRunOnDialogThread.
inline constexpr UINT kRunOnDialogThreadMessage = WM_APP + 0x3A7;
void AnswerRunOnDialogThread(LPARAM request);

// For a handler of a message that arrives while RunWhileAnswering waits over
// dialog, which must not return before the work has ended (WM_ENDSESSION:
// Windows may end the process once it returns). Answers only messages sent
// to this thread meanwhile, so that the work's sends still get through.
// Returns at once where the work waits for a RunOnDialogThread call that
// this thread is still running (its message box is open).
void FinishWorkOver(HWND dialog);

}  // namespace oriel::win32
