#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "platform/records.h"

namespace oriel {

// An account signed in to this PC.
struct DesktopUser {
  std::string sid;   // "S-1-5-21-…", its profile's key under HKEY_USERS
  std::string name;  // "DOMAIN\\user", in the system code page
  bool isProcessUser = true;  // the account the program itself runs as
};

// IsWow64Process2's native machines (IMAGE_FILE_MACHINE_*).
inline constexpr std::uint16_t kMachineI386 = 0x014C;
inline constexpr std::uint16_t kMachineAmd64 = 0x8664;
inline constexpr std::uint16_t kMachineArm64 = 0xAA64;

class SystemServices {
 public:
  virtual ~SystemServices() = default;
  // GetVersionExA on the record as it stands (its size field says which layout).
  virtual bool QueryVersion(OsVersionInfoEx& record) = 0;
  // The flag IsWow64Process leaves for the current process: 0 when the function
  // is missing or the call fails (the flag is preset to 0).
  virtual int QueryWow64Flag() = 0;
  // RtlGetVersion (ntdll, looked up at run time): the version Windows really
  // is, whatever the compatibility layer makes GetVersionExA say. false when
  // the function is missing or fails.
  virtual bool QueryRealVersion(OsVersionInfoEx& record) = 0;
  // The user of the shell's process (GetShellWindow's owner); nullopt where
  // there is no shell window, as under kiosk shells, or it cannot be read.
  virtual std::optional<DesktopUser> QueryShellUser() = 0;
  // The user signed in to the session this process runs in (not the console
  // session, which under Remote Desktop is someone else's); nullopt when
  // nobody is.
  virtual std::optional<DesktopUser> QuerySessionUser() = 0;
  // IsWow64Process2's native machine; nullopt where the function is missing
  // (before Windows 10 1709) or fails.
  virtual std::optional<std::uint16_t> QueryNativeMachine() = 0;
  // WindowsProtectedPrintInfo.IsProtectedPrintEnabled; nullopt where Windows
  // has no such class (before Windows 11 24H2) or the call fails. Asked only
  // of Windows 8 and later, which have the Windows Runtime (combase.dll).
  virtual std::optional<bool> QueryProtectedPrintEnabled() = 0;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // One line for the debugger (OutputDebugStringA); the caller adds the line feed.
  virtual void DebugOutput(const std::string& text) = 0;
  // WM_SETTINGCHANGE with the section name to every top-level window
  // (SendMessageTimeout, HWND_BROADCAST, SMTO_ABORTIFHUNG, a short timeout).
  virtual void BroadcastSettingChange(const std::string& section) = 0;
};

}  // namespace oriel
