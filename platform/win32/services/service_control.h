#pragma once
// The Print Spooler service through the service control manager, behind the
// portable interface. Each refusal names the call that returned it.
#include "platform/spooler_service.h"

namespace oriel::win32 {

class Win32SpoolerService final : public SpoolerService {
 public:
  ServiceCallResult QueryStartKind(ServiceStartKind& kind) override;
  ServiceCallResult SetAutomatic() override;
  ServiceCallResult SetDisabled() override;
  ServiceCallResult Start() override;
  ServiceCallResult QueryStatus(ServiceStatus& status) override;
};

}  // namespace oriel::win32
