#pragma once
// Windows services through the service control manager, and the Print
// Spooler's behind the portable interface.
#include <cstdint>

#include "platform/spooler_service.h"

namespace oriel::win32 {

// Each returns 0 or the system error code; failedCall, when given, receives
// the name of the call that failed (for the error text), or nullptr.
std::uint32_t QueryServiceStartType(const wchar_t* service, ServiceStartKind& kind,
                                    const char** failedCall = nullptr);
std::uint32_t SetServiceAutomatic(const wchar_t* service, const char** failedCall = nullptr);
// Not "StartService": <windows.h> makes that a macro for StartServiceW/A.
// A service that is already running counts as started.
std::uint32_t StartNamedService(const wchar_t* service, const char** failedCall = nullptr);
std::uint32_t QueryServiceRunning(const wchar_t* service, bool& running, const char** failedCall = nullptr);

class Win32SpoolerService final : public SpoolerService {
 public:
  std::uint32_t QueryStartKind(ServiceStartKind& kind) override;
  std::uint32_t SetAutomatic() override;
  std::uint32_t Start() override;
  std::uint32_t QueryRunning(bool& running) override;
};

}  // namespace oriel::win32
