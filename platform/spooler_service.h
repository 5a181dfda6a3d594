#pragma once
// The Print Spooler service, through the service control manager.
#include <cstdint>

namespace oriel {

enum class ServiceStartKind { Automatic, Manual, Disabled, Other };

// 0, or the system error code and the name of the call that returned it: a
// refused OpenSCManagerW or OpenServiceW is named as itself.
struct ServiceCallResult {
  std::uint32_t error = 0;
  const char* call = nullptr;
};

// SERVICE_STATUS_PROCESS's fields that tell how a start goes.
struct ServiceStatus {
  std::uint32_t state = 0;  // dwCurrentState, numbered as winsvc.h numbers it
  std::uint32_t win32ExitCode = 0;
  std::uint32_t serviceSpecificExitCode = 0;
  std::uint32_t checkPoint = 0;
  std::uint32_t waitHint = 0;  // milliseconds
};

inline constexpr std::uint32_t kServiceStopped = 1;        // SERVICE_STOPPED
inline constexpr std::uint32_t kServiceStartPending = 2;   // SERVICE_START_PENDING
inline constexpr std::uint32_t kServiceStopPending = 3;    // SERVICE_STOP_PENDING
inline constexpr std::uint32_t kServiceRunning = 4;        // SERVICE_RUNNING

class SpoolerService {
 public:
  virtual ~SpoolerService() = default;
  // QueryServiceConfigW's start type.
  virtual ServiceCallResult QueryStartKind(ServiceStartKind& kind) = 0;
  // ChangeServiceConfigW to SERVICE_AUTO_START, nothing else changed.
  virtual ServiceCallResult SetAutomatic() = 0;
  // ChangeServiceConfigW to SERVICE_DISABLED, nothing else changed.
  virtual ServiceCallResult SetDisabled() = 0;
  // StartServiceW, its error as it came (ERROR_SERVICE_ALREADY_RUNNING too).
  virtual ServiceCallResult Start() = 0;
  // QueryServiceStatusEx, SC_STATUS_PROCESS_INFO.
  virtual ServiceCallResult QueryStatus(ServiceStatus& status) = 0;
};

}  // namespace oriel
