#pragma once
// Long work off the UI thread, so that Windows does not mark the wizard
// "Not Responding" while a service starts.
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

}  // namespace oriel::win32
