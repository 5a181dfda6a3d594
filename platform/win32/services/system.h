#pragma once
// What Oriel asks of Windows itself behind the portable interface: versions,
// the processor, the desktop's account, protected print, and the broadcast.
#include "platform/system.h"

namespace oriel::win32 {

class Win32System final : public SystemServices {
 public:
  bool QueryVersion(OsVersionInfoEx& record) override;
  int QueryWow64Flag() override;
  bool QueryRealVersion(OsVersionInfoEx& record) override;
  std::optional<DesktopUser> QueryShellUser() override;
  std::optional<DesktopUser> QuerySessionUser() override;
  std::optional<std::uint16_t> QueryNativeMachine() override;
  std::optional<bool> QueryProtectedPrintEnabled() override;
  void Sleep(std::uint32_t milliseconds) override;
  void DebugOutput(const std::string& text) override;
  void BroadcastSettingChange(const std::string& section) override;
};

}  // namespace oriel::win32
