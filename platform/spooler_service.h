#pragma once
// The Print Spooler service, through the service control manager.
#include <cstdint>

namespace oriel {

enum class ServiceStartKind { Automatic, Manual, Disabled, Other };

// Each call returns 0 or the system error code.
class SpoolerService {
 public:
  virtual ~SpoolerService() = default;
  // QueryServiceConfigW's start type.
  virtual std::uint32_t QueryStartKind(ServiceStartKind& kind) = 0;
  // ChangeServiceConfigW to SERVICE_AUTO_START, nothing else changed.
  virtual std::uint32_t SetAutomatic() = 0;
  // StartServiceW; a service that runs already counts as started.
  virtual std::uint32_t Start() = 0;
  // QueryServiceStatusEx: running is SERVICE_RUNNING.
  virtual std::uint32_t QueryRunning(bool& running) = 0;
};

}  // namespace oriel
