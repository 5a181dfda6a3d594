#include <windows.h>
#include <winsvc.h>

#include "platform/win32/services/service_control.h"

#include <vector>

#include "platform/win32/services/last_error.h"

namespace oriel::win32 {

namespace {

constexpr wchar_t kSpoolerServiceName[] = L"Spooler";

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

ServiceCallResult Failed(const char* call) { return {LastErrorOr(ERROR_GEN_FAILURE), call}; }

// Opens the Print Spooler service with only the rights the one call needs,
// so that a refusal names the call that really failed.
template <typename Action>
ServiceCallResult WithSpooler(DWORD access, Action action) {
  ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
  if (manager.get() == nullptr) return Failed("OpenSCManagerW");
  ServiceHandle handle(::OpenServiceW(manager.get(), kSpoolerServiceName, access));
  if (handle.get() == nullptr) return Failed("OpenServiceW");
  return action(handle.get());
}

ServiceCallResult SetStartType(DWORD startType) {
  return WithSpooler(SERVICE_CHANGE_CONFIG, [&](SC_HANDLE handle) {
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-changeserviceconfigw
    if (::ChangeServiceConfigW(handle, SERVICE_NO_CHANGE, startType, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr))
      return ServiceCallResult{};
    return Failed("ChangeServiceConfigW");
  });
}

}  // namespace

ServiceCallResult Win32SpoolerService::QueryStartKind(ServiceStartKind& kind) {
  return WithSpooler(SERVICE_QUERY_CONFIG, [&](SC_HANDLE handle) {
    // Ask for the size first; the configuration is at most 8K bytes:
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-queryserviceconfigw
    constexpr DWORD kMaxConfigBytes = 8 * 1024;
    DWORD needed = 0;
    if (::QueryServiceConfigW(handle, nullptr, 0, &needed) || ::GetLastError() != ERROR_INSUFFICIENT_BUFFER)
      return Failed("QueryServiceConfigW");
    if (needed == 0 || needed > kMaxConfigBytes) {
      return ServiceCallResult{ERROR_INSUFFICIENT_BUFFER, "QueryServiceConfigW"};
    }
    std::vector<QUERY_SERVICE_CONFIGW> config(needed / sizeof(QUERY_SERVICE_CONFIGW) + 1);
    if (!::QueryServiceConfigW(handle, config.data(),
                               static_cast<DWORD>(config.size() * sizeof(QUERY_SERVICE_CONFIGW)), &needed))
      return Failed("QueryServiceConfigW");
    switch (config[0].dwStartType) {
      case SERVICE_AUTO_START: kind = ServiceStartKind::Automatic; break;  // delayed start too
      case SERVICE_DEMAND_START: kind = ServiceStartKind::Manual; break;
      case SERVICE_DISABLED: kind = ServiceStartKind::Disabled; break;
      default: kind = ServiceStartKind::Other; break;
    }
    return ServiceCallResult{};
  });
}

ServiceCallResult Win32SpoolerService::SetAutomatic() { return SetStartType(SERVICE_AUTO_START); }

ServiceCallResult Win32SpoolerService::SetDisabled() { return SetStartType(SERVICE_DISABLED); }

// ERROR_SERVICE_ALREADY_RUNNING comes back as it came; the caller decides.
ServiceCallResult Win32SpoolerService::Start() {
  return WithSpooler(SERVICE_START, [](SC_HANDLE handle) {
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-startservicew
    if (::StartServiceW(handle, 0, nullptr)) return ServiceCallResult{};
    return Failed("StartServiceW");
  });
}

ServiceCallResult Win32SpoolerService::QueryStatus(ServiceStatus& status) {
  return WithSpooler(SERVICE_QUERY_STATUS, [&](SC_HANDLE handle) {
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-queryservicestatusex
    SERVICE_STATUS_PROCESS process{};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process), sizeof(process),
                                &needed))
      return Failed("QueryServiceStatusEx");
    status = ServiceStatus{process.dwCurrentState, process.dwWin32ExitCode, process.dwServiceSpecificExitCode,
                           process.dwCheckPoint, process.dwWaitHint};
    return ServiceCallResult{};
  });
}

}  // namespace oriel::win32
