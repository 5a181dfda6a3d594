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
// kind: Automatic or Disabled.
std::uint32_t SetServiceStartKind(const wchar_t* service, ServiceStartKind kind, const char** failedCall = nullptr);
// Not "StartService": <windows.h> makes that a macro for StartServiceW/A.
// ERROR_SERVICE_ALREADY_RUNNING comes back as it came; the caller decides.
std::uint32_t StartNamedService(const wchar_t* service, const char** failedCall = nullptr);
std::uint32_t QueryNamedServiceStatus(const wchar_t* service, ServiceStatus& status,
                                      const char** failedCall = nullptr);

class Win32SpoolerService final : public SpoolerService {
 public:
  ServiceCallResult QueryStartKind(ServiceStartKind& kind) override;
  ServiceCallResult SetAutomatic() override;
  ServiceCallResult SetDisabled() override;
  ServiceCallResult Start() override;
  ServiceCallResult QueryStatus(ServiceStatus& status) override;
};

}  // namespace oriel::win32
