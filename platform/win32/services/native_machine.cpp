// IsWow64Process2 is declared for Windows 10 only; it is still looked up at
// run time, so Oriel starts on older Windows.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#include <windows.h>

#include "platform/win32/services/native_machine.h"

#include "platform/win32/runtime/system_library.h"

namespace oriel::win32 {

int Wow64Flag() {
#ifdef _WIN64
  // A 64-bit build runs only on 64-bit Windows, where the x64 package is the
  // one to install, just as for the 32-bit build under WOW64.
  return 1;
#else
  BOOL flag = FALSE;
  auto query = ORIEL_SYSTEM_FUNCTION(SystemModule(L"kernel32.dll"), IsWow64Process);
  if (query != nullptr) query(::GetCurrentProcess(), &flag);  // a failed call leaves the flag 0
  return flag;
#endif
}

std::optional<std::uint16_t> NativeMachine() {
  // Windows 10 1709 and later only, hence looked up:
  // https://learn.microsoft.com/en-us/windows/win32/api/wow64apiset/nf-wow64apiset-iswow64process2
  auto query = ORIEL_SYSTEM_FUNCTION(SystemModule(L"kernel32.dll"), IsWow64Process2);
  if (query == nullptr) return std::nullopt;
  USHORT processMachine = 0;
  USHORT nativeMachine = 0;
  if (!query(::GetCurrentProcess(), &processMachine, &nativeMachine) || nativeMachine == 0) return std::nullopt;
  return nativeMachine;
}

}  // namespace oriel::win32
