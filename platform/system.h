#pragma once
#include <cstdint>
#include <string>

#include "platform/records.h"

namespace oriel {

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
  virtual void Sleep(std::uint32_t milliseconds) = 0;
  // One line for the debugger (OutputDebugStringA); the caller adds the line feed.
  virtual void DebugOutput(const std::string& text) = 0;
  // WM_SETTINGCHANGE with the section name to every top-level window
  // (SendMessageTimeout, HWND_BROADCAST, SMTO_ABORTIFHUNG, a short timeout).
  virtual void BroadcastSettingChange(const std::string& section) = 0;
};

}  // namespace oriel
