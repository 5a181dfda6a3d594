// The Print Spooler service's start type as the service manager itself
// reports it after each change made through the wrapper.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "platform/win32/services/service_control.h"

namespace oriel {
namespace {

// QueryServiceConfigW, asked by this test itself: 0 when the spooler cannot
// be asked.
// https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-queryserviceconfigw
DWORD SpoolerStartType() {
  SC_HANDLE manager = OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT);
  if (manager == nullptr) return 0;
  SC_HANDLE service = OpenServiceW(manager, L"Spooler", SERVICE_QUERY_CONFIG);
  DWORD startType = 0;
  if (service != nullptr) {
    std::vector<QUERY_SERVICE_CONFIGW> config(8 * 1024 / sizeof(QUERY_SERVICE_CONFIGW));
    DWORD needed = 0;
    if (QueryServiceConfigW(service, config.data(), static_cast<DWORD>(config.size() * sizeof(config[0])), &needed))
      startType = config[0].dwStartType;
    CloseServiceHandle(service);
  }
  CloseServiceHandle(manager);
  return startType;
}

TEST(SpoolerService, StartTypeChangesReachTheServiceManager) {
  win32::Win32SpoolerService spooler;
  ServiceStartKind kind = ServiceStartKind::Other;
  ASSERT_EQ(spooler.QueryStartKind(kind).error, 0u);
  const struct {
    ServiceCallResult (win32::Win32SpoolerService::*change)();
    DWORD startType;
    ServiceStartKind kind;
  } steps[] = {
      {&win32::Win32SpoolerService::SetDisabled, SERVICE_DISABLED, ServiceStartKind::Disabled},
      {&win32::Win32SpoolerService::SetAutomatic, SERVICE_AUTO_START, ServiceStartKind::Automatic},
      {&win32::Win32SpoolerService::SetDisabled, SERVICE_DISABLED, ServiceStartKind::Disabled},
  };
  for (const auto& step : steps) {
    SCOPED_TRACE(step.startType);
    const ServiceCallResult changed = (spooler.*step.change)();
    ASSERT_EQ(changed.error, 0u) << (changed.call != nullptr ? changed.call : "");
    EXPECT_EQ(SpoolerStartType(), step.startType);
    ASSERT_EQ(spooler.QueryStartKind(kind).error, 0u);
    EXPECT_EQ(kind, step.kind);
  }
}

}  // namespace
}  // namespace oriel
