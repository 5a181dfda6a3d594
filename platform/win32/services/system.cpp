#include <windows.h>

#include "platform/win32/services/system.h"

#include <string>

#include "platform/win32/runtime/system_library.h"
#include "platform/win32/services/desktop_account.h"
#include "platform/win32/services/native_machine.h"
#include "platform/win32/services/protected_print.h"
#include "platform/win32/services/setting_change.h"

namespace oriel::win32 {

static_assert(sizeof(OsVersionInfoEx) == sizeof(OSVERSIONINFOEXA));
static_assert(kOsVersionInfoSize == sizeof(OSVERSIONINFOA));

bool Win32System::QueryVersion(OsVersionInfoEx& record) {
  return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record)) != FALSE;
}

int Win32System::QueryWow64Flag() { return Wow64Flag(); }

bool Win32System::QueryRealVersion(OsVersionInfoEx& record) {
  // RtlGetVersion answers without the compatibility shims that make
  // GetVersionExA report 6.2 to a program that declares no newer Windows:
  // https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/wdm/nf-wdm-rtlgetversion
  // Declared in the driver kit's headers only, hence typed here.
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  auto query = SystemFunction<RtlGetVersionFunction>(SystemModule(L"ntdll.dll"), "RtlGetVersion");
  if (query == nullptr) return false;
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (query(&info) != 0) return false;  // an NTSTATUS; 0 is success
  record.dwMajorVersion = info.dwMajorVersion;
  record.dwMinorVersion = info.dwMinorVersion;
  record.dwBuildNumber = info.dwBuildNumber;
  record.dwPlatformId = info.dwPlatformId;
  record.wServicePackMajor = info.wServicePackMajor;
  record.wServicePackMinor = info.wServicePackMinor;
  record.wSuiteMask = info.wSuiteMask;
  record.wProductType = info.wProductType;
  return true;
}

void Win32System::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

void Win32System::DebugOutput(const std::string& text) { ::OutputDebugStringA(text.c_str()); }

void Win32System::BroadcastSettingChange(const std::string& section) { win32::BroadcastSettingChange(section); }

std::optional<DesktopUser> Win32System::QueryShellUser() { return ShellAccount(); }
std::optional<DesktopUser> Win32System::QuerySessionUser() { return SessionAccount(); }
std::optional<std::uint16_t> Win32System::QueryNativeMachine() { return NativeMachine(); }
std::optional<bool> Win32System::QueryProtectedPrintEnabled() {
  std::int32_t result = 0;
  const std::optional<bool> enabled = ProtectedPrintEnabled(&result);
  if (!enabled) {
    // For a technician with a debugger-output viewer: why the mode was taken
    // as off (0x80040154: Windows has no such class).
    std::string line = "Oriel: protected print mode taken as off: the query gave HRESULT 0x";
    for (int shift = 28; shift >= 0; shift -= 4) line += "0123456789ABCDEF"[(static_cast<std::uint32_t>(result) >> shift) & 0xF];
    line += '\n';
    ::OutputDebugStringA(line.c_str());
  }
  return enabled;
}

}  // namespace oriel::win32
