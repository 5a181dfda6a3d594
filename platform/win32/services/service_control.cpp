#include <windows.h>
#include <winsvc.h>

#include "platform/win32/services/service_control.h"

#include <vector>

#include "platform/win32/services/last_error.h"

namespace oriel::win32 {

namespace {

class ServiceHandle {
 public:
  explicit ServiceHandle(SC_HANDLE handle) : handle_(handle) {}
  ~ServiceHandle() {
    if (handle_ != nullptr) ::CloseServiceHandle(handle_);
  }
  ServiceHandle(const ServiceHandle&) = delete;
  ServiceHandle& operator=(const ServiceHandle&) = delete;
  SC_HANDLE get() const { return handle_; }

 private:
  SC_HANDLE handle_;
};

struct CallFailure {
  const char** name;
  std::uint32_t Report(const char* call, std::uint32_t error) const {
    if (name != nullptr) *name = call;
    return error;
  }
  std::uint32_t LastError(const char* call) const { return Report(call, LastErrorOr(ERROR_GEN_FAILURE)); }
};

// Opens the service with only the rights the one call needs, so that a
// refusal names that call.
template <typename Action>
std::uint32_t WithService(const wchar_t* service, DWORD access, const char** failedCall, Action action) {
  const CallFailure failure{failedCall};
  if (failedCall != nullptr) *failedCall = nullptr;
  ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (manager.get() == nullptr) return failure.LastError("OpenSCManagerW");
  ServiceHandle handle(::OpenServiceW(manager.get(), service, access));
  if (handle.get() == nullptr) return failure.LastError("OpenServiceW");
  return action(handle.get(), failure);
}

}  // namespace

std::uint32_t QueryServiceStartType(const wchar_t* service, ServiceStartKind& kind, const char** failedCall) {
  return WithService(service, SERVICE_QUERY_CONFIG, failedCall, [&](SC_HANDLE handle, const CallFailure& failure) {
    // Ask for the size first; the configuration is at most 8K bytes:
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-queryserviceconfigw
    constexpr DWORD kMaxConfigBytes = 8 * 1024;
    DWORD needed = 0;
    if (::QueryServiceConfigW(handle, nullptr, 0, &needed) || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      return failure.LastError("QueryServiceConfigW");
    if (needed == 0 || needed > kMaxConfigBytes) return failure.Report("QueryServiceConfigW", ERROR_INSUFFICIENT_BUFFER);
    std::vector<QUERY_SERVICE_CONFIGW> config(needed / sizeof(QUERY_SERVICE_CONFIGW) + 1);
    if (!::QueryServiceConfigW(handle, config.data(),
                               static_cast<DWORD>(config.size() * sizeof(QUERY_SERVICE_CONFIGW)), &needed))
      return failure.LastError("QueryServiceConfigW");
    switch (config[0].dwStartType) {
      case SERVICE_AUTO_START: kind = ServiceStartKind::Automatic; break;  // delayed start too
      case SERVICE_DEMAND_START: kind = ServiceStartKind::Manual; break;
      case SERVICE_DISABLED: kind = ServiceStartKind::Disabled; break;
      default: kind = ServiceStartKind::Other; break;
    }
    return std::uint32_t{0};
  });
}

std::uint32_t SetServiceStartKind(const wchar_t* service, ServiceStartKind kind, const char** failedCall) {
  const DWORD startType = kind == ServiceStartKind::Disabled ? SERVICE_DISABLED : SERVICE_AUTO_START;
  return WithService(service, SERVICE_CHANGE_CONFIG, failedCall, [&](SC_HANDLE handle, const CallFailure& failure) {
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-changeserviceconfigw
    if (::ChangeServiceConfigW(handle, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr))
      return std::uint32_t{0};
    return failure.LastError("ChangeServiceConfigW");
  });
}

std::uint32_t StartNamedService(const wchar_t* service, const char** failedCall) {
  return WithService(service, SERVICE_START, failedCall, [](SC_HANDLE handle, const CallFailure& failure) {
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-startservicew
    if (::StartServiceW(handle, 0, nullptr)) return std::uint32_t{0};
    return failure.LastError("StartServiceW");
  });
}

std::uint32_t QueryNamedServiceStatus(const wchar_t* service, ServiceStatus& status, const char** failedCall) {
  return WithService(service, SERVICE_QUERY_STATUS, failedCall, [&](SC_HANDLE handle, const CallFailure& failure) {
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-queryservicestatusex
    SERVICE_STATUS_PROCESS process{};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process), sizeof(process),
                                &needed))
      return failure.LastError("QueryServiceStatusEx");
    status = ServiceStatus{process.dwCurrentState, process.dwWin32ExitCode, process.dwServiceSpecificExitCode,
                           process.dwCheckPoint, process.dwWaitHint};
    return std::uint32_t{0};
  });
}

namespace {

constexpr wchar_t kSpoolerServiceName[] = L"Spooler";

// The portable side names the call that failed; these know it.
template <typename Call>
ServiceCallResult Named(Call call) {
  const char* failedCall = nullptr;
  const std::uint32_t error = call(&failedCall);
  return {error, error != 0 ? failedCall : nullptr};
}

}  // namespace

ServiceCallResult Win32SpoolerService::QueryStartKind(ServiceStartKind& kind) {
  return Named([&](const char** failedCall) { return QueryServiceStartType(kSpoolerServiceName, kind, failedCall); });
}
ServiceCallResult Win32SpoolerService::SetAutomatic() {
  return Named([](const char** failedCall) {
    return SetServiceStartKind(kSpoolerServiceName, ServiceStartKind::Automatic, failedCall);
  });
}
ServiceCallResult Win32SpoolerService::SetDisabled() {
  return Named([](const char** failedCall) {
    return SetServiceStartKind(kSpoolerServiceName, ServiceStartKind::Disabled, failedCall);
  });
}
ServiceCallResult Win32SpoolerService::Start() {
  return Named([](const char** failedCall) { return StartNamedService(kSpoolerServiceName, failedCall); });
}
ServiceCallResult Win32SpoolerService::QueryStatus(ServiceStatus& status) {
  return Named([&](const char** failedCall) {
    return QueryNamedServiceStatus(kSpoolerServiceName, status, failedCall);
  });
}

}  // namespace oriel::win32
