#pragma once
// Long work off the UI thread, so that Windows does not mark the wizard
// "Not Responding" while a service starts.
#include <windows.h>

#include <functional>

namespace oriel::win32 {

// Runs work on a thread of its own and answers this thread's messages until
// it ends (dialog's keyboard handling included); what work threw is thrown
// here. Where no thread can be made, work runs here. The caller keeps its
// windows from starting anything meanwhile.
void RunWhileAnswering(HWND dialog, const std::function<void()>& work);

}  // namespace oriel::win32
