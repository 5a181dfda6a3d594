#include <windows.h>

#include "platform/win32/services/setting_change.h"

#include <memory>

namespace oriel::win32 {

namespace {

// A broadcast gives each window the whole timeout, so a few slow windows
// would add up to seconds:
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-sendmessagetimeoutw
// It goes out on a thread of its own, which the wizard waits for a second at most.
DWORD WINAPI BroadcastThread(void* parameter) {
  // Its own copy of the section: the thread may outlive the wait, and the
  // next broadcast's.
  const std::unique_ptr<std::string> section(static_cast<std::string*>(parameter));
  constexpr UINT kPerWindowTimeoutMs = 200;
  DWORD_PTR result = 0;
  ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(section->c_str()),
                        SMTO_ABORTIFHUNG | SMTO_NORMAL, kPerWindowTimeoutMs, &result);
  return 0;
}

}  // namespace

void BroadcastSettingChange(const std::string& section) {
  constexpr DWORD kWaitMs = 1000;
  auto text = std::make_unique<std::string>(section);
  HANDLE thread = ::CreateThread(nullptr, 0, &BroadcastThread, text.get(), 0, nullptr);
  if (thread == nullptr) return;
  text.release();  // the thread's now
  // The broadcast reaches this thread's own windows too: their sent
  // messages are answered meanwhile, or each would wait out its timeout.
  const DWORD start = ::GetTickCount();
  for (DWORD waited = 0; waited < kWaitMs; waited = ::GetTickCount() - start) {
    const DWORD woke = ::MsgWaitForMultipleObjects(1, &thread, FALSE, kWaitMs - waited, QS_SENDMESSAGE);
    if (woke != WAIT_OBJECT_0 + 1) break;  // the thread ended, the time is up, or the wait failed
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  ::CloseHandle(thread);
}

}  // namespace oriel::win32
