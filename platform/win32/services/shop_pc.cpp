#include <windows.h>
#include <hstring.h>
#include <inspectable.h>
#include <sddl.h>
#include <winsvc.h>
#include <wtsapi32.h>

#include "platform/win32/services/shop_pc.h"

#include <cstring>
#include <string>
#include <vector>

namespace oriel::win32 {

namespace {

template <typename Function>
Function LookUp(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Only from the system directory: a DLL of the same name beside the installer
// (a download folder) must never load. LOAD_LIBRARY_SEARCH_SYSTEM32 needs
// KB2533623 before Windows 8; without it the call fails with
// ERROR_INVALID_PARAMETER and the full path does the same job:
// https://learn.microsoft.com/en-us/windows/win32/api/libloaderapi/nf-libloaderapi-loadlibraryexw
HMODULE LoadSystemLibrary(const wchar_t* name) {
  HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr) return module;
  wchar_t directory[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(directory, length);
  path += L'\\';
  path += name;
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

std::uint32_t LastErrorOr(DWORD fallback) {
  const DWORD error = ::GetLastError();
  return error != 0 ? error : fallback;
}

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  ~Handle() {
    if (handle_ != nullptr) ::CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  HANDLE* out() { return &handle_; }

 private:
  HANDLE handle_;
};

using SidBytes = std::vector<BYTE>;

SidBytes CopySidBytes(PSID sid) {
  if (sid == nullptr || !::IsValidSid(sid)) return {};
  SidBytes bytes(::GetLengthSid(sid));
  if (!::CopySid(static_cast<DWORD>(bytes.size()), bytes.data(), sid)) return {};
  return bytes;
}

// The token user's SID of a process, empty when the token cannot be read.
SidBytes TokenUserSid(HANDLE process) {
  Handle token;
  if (!::OpenProcessToken(process, TOKEN_QUERY, token.out())) return {};
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < sizeof(TOKEN_USER)) return {};
  std::vector<TOKEN_USER> buffer(size / sizeof(TOKEN_USER) + 1);  // aligned for the structure
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(),
                             static_cast<DWORD>(buffer.size() * sizeof(TOKEN_USER)), &size))
    return {};
  return CopySidBytes(buffer[0].User.Sid);
}

std::string SidString(SidBytes& sid) {
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(sid.data(), &text) || text == nullptr) return {};
  std::string result(text);
  ::LocalFree(text);
  return result;
}

// "DOMAIN\user" as LookupAccountSidA spells it; empty when it cannot.
std::string AccountName(SidBytes& sid) {
  DWORD nameLength = 0;
  DWORD domainLength = 0;
  SID_NAME_USE use;
  ::LookupAccountSidA(nullptr, sid.data(), nullptr, &nameLength, nullptr, &domainLength, &use);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || nameLength == 0) return {};
  std::string name(nameLength, '\0');
  std::string domain(domainLength + 1, '\0');
  domainLength = static_cast<DWORD>(domain.size());
  if (!::LookupAccountSidA(nullptr, sid.data(), name.data(), &nameLength, domain.data(), &domainLength, &use))
    return {};
  // The lengths are documented only for a short buffer, and Wine's A function
  // counts the terminator on success: trust the terminator instead.
  // https://learn.microsoft.com/en-us/windows/win32/api/winbase/nf-winbase-lookupaccountsida
  name.resize(std::strlen(name.c_str()));
  domain.resize(std::strlen(domain.c_str()));
  return domain.empty() ? name : domain + '\\' + name;
}

// The shell's process runs as the user who owns the desktop, even when this
// process was elevated with another account's credentials. No shell window,
// no shell: https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-getshellwindow
SidBytes ShellUserSid() {
  HWND shell = ::GetShellWindow();
  if (shell == nullptr) return {};
  DWORD processId = 0;
  ::GetWindowThreadProcessId(shell, &processId);
  if (processId == 0) return {};
  // Windows XP does not know PROCESS_QUERY_LIMITED_INFORMATION:
  // https://learn.microsoft.com/en-us/windows/win32/procthread/process-security-and-access-rights
  Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (process.get() == nullptr) {
    Handle older(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    return older.get() != nullptr ? TokenUserSid(older.get()) : SidBytes{};
  }
  return TokenUserSid(process.get());
}

// The user logged on to this process's session. WTS_CURRENT_SESSION rather
// than the console session: under Remote Desktop the console belongs to
// someone else, or nobody.
// https://learn.microsoft.com/en-us/windows/win32/api/wtsapi32/nf-wtsapi32-wtsquerysessioninformationa
SidBytes SessionUserSid() {
  static HMODULE wtsapi = LoadSystemLibrary(L"wtsapi32.dll");
  using QueryFunction = BOOL(WINAPI*)(HANDLE, DWORD, WTS_INFO_CLASS, LPSTR*, DWORD*);
  using FreeFunction = void(WINAPI*)(PVOID);
  auto query = LookUp<QueryFunction>(wtsapi, "WTSQuerySessionInformationA");
  auto release = LookUp<FreeFunction>(wtsapi, "WTSFreeMemory");
  if (query == nullptr || release == nullptr) return {};
  auto text = [&](WTS_INFO_CLASS what) {
    char* buffer = nullptr;
    DWORD bytes = 0;
    std::string value;
    if (query(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, what, &buffer, &bytes) && buffer != nullptr) {
      value.assign(buffer, strnlen(buffer, bytes));
    }
    if (buffer != nullptr) release(buffer);
    return value;
  };
  const std::string user = text(WTSUserName);
  if (user.empty()) return {};  // nobody logged on
  const std::string domain = text(WTSDomainName);
  const std::string account = domain.empty() ? user : domain + '\\' + user;

  DWORD sidSize = 0;
  DWORD domainLength = 0;
  SID_NAME_USE use;
  ::LookupAccountNameA(nullptr, account.c_str(), nullptr, &sidSize, nullptr, &domainLength, &use);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || sidSize == 0) return {};
  SidBytes sid(sidSize);
  std::string referencedDomain(domainLength + 1, '\0');
  domainLength = static_cast<DWORD>(referencedDomain.size());
  if (!::LookupAccountNameA(nullptr, account.c_str(), sid.data(), &sidSize, referencedDomain.data(),
                            &domainLength, &use))
    return {};
  return ::IsValidSid(sid.data()) ? sid : SidBytes{};
}

std::optional<DesktopUser> AccountOf(SidBytes sid) {
  if (sid.empty()) return std::nullopt;
  DesktopUser account;
  account.sid = SidString(sid);
  if (account.sid.empty()) return std::nullopt;
  account.name = AccountName(sid);
  SidBytes own = TokenUserSid(::GetCurrentProcess());
  account.isProcessUser = !own.empty() && ::EqualSid(own.data(), sid.data());
  return account;
}

}  // namespace

std::optional<DesktopUser> ShellAccount() { return AccountOf(ShellUserSid()); }

std::optional<DesktopUser> SessionAccount() { return AccountOf(SessionUserSid()); }

std::optional<std::uint16_t> NativeMachine() {
  // Windows 10 1709 and later only, hence looked up:
  // https://learn.microsoft.com/en-us/windows/win32/api/wow64apiset/nf-wow64apiset-iswow64process2
  using IsWow64Process2Function = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  auto query = LookUp<IsWow64Process2Function>(::GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2");
  if (query == nullptr) return std::nullopt;
  USHORT processMachine = 0;
  USHORT nativeMachine = 0;
  if (!query(::GetCurrentProcess(), &processMachine, &nativeMachine) || nativeMachine == 0) return std::nullopt;
  return nativeMachine;
}

namespace {

// From the Windows SDK's windows.graphics.printing.protectedprint.h
// (UniversalApiContract 19): the statics interface has one method after
// IInspectable's.
struct IWindowsProtectedPrintInfoStatics : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_IsProtectedPrintEnabled(boolean* value) = 0;
};

constexpr IID kIidProtectedPrintInfoStatics = {
    0xa7d212f3, 0x4168, 0x5485, {0x98, 0xab, 0xd8, 0x9d, 0x04, 0x60, 0x3b, 0x40}};
constexpr wchar_t kProtectedPrintInfoClass[] = L"Windows.Graphics.Printing.ProtectedPrint.WindowsProtectedPrintInfo";

}  // namespace

std::optional<bool> ProtectedPrintEnabled(std::int32_t* hresult) {
  auto fail = [&](HRESULT result) -> std::optional<bool> {
    if (hresult != nullptr) *hresult = static_cast<std::int32_t>(result);
    return std::nullopt;
  };
  if (hresult != nullptr) *hresult = 0;
  // combase.dll is Windows 8 and later; before that there is nothing to ask.
  static HMODULE combase = LoadSystemLibrary(L"combase.dll");
  if (combase == nullptr) return fail(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  using RoInitializeFunction = HRESULT(WINAPI*)(int);
  using RoUninitializeFunction = void(WINAPI*)();
  using RoGetActivationFactoryFunction = HRESULT(WINAPI*)(HSTRING, REFIID, void**);
  using CreateStringReferenceFunction = HRESULT(WINAPI*)(PCWSTR, UINT32, HSTRING_HEADER*, HSTRING*);
  auto roInitialize = LookUp<RoInitializeFunction>(combase, "RoInitialize");
  auto roUninitialize = LookUp<RoUninitializeFunction>(combase, "RoUninitialize");
  auto getFactory = LookUp<RoGetActivationFactoryFunction>(combase, "RoGetActivationFactory");
  auto createReference = LookUp<CreateStringReferenceFunction>(combase, "WindowsCreateStringReference");
  if (roInitialize == nullptr || roUninitialize == nullptr || getFactory == nullptr || createReference == nullptr)
    return fail(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));

  // A single-threaded apartment, as the dialogs' thread needs. S_FALSE (already
  // initialised) must be balanced too; RPC_E_CHANGED_MODE means another
  // apartment is already set up, which activation can use as it is:
  // https://learn.microsoft.com/en-us/windows/win32/api/roapi/nf-roapi-roinitialize
  constexpr int kRoInitSingleThreaded = 0;
  const HRESULT initialized = roInitialize(kRoInitSingleThreaded);
  if (FAILED(initialized) && initialized != RPC_E_CHANGED_MODE) return fail(initialized);

  HSTRING_HEADER header;
  HSTRING className = nullptr;
  HRESULT result = createReference(kProtectedPrintInfoClass,
                                   static_cast<UINT32>(sizeof(kProtectedPrintInfoClass) / sizeof(wchar_t) - 1),
                                   &header, &className);
  std::optional<bool> answer;
  if (SUCCEEDED(result)) {
    // REGDB_E_CLASSNOTREG where Windows has no such class:
    // https://learn.microsoft.com/en-us/windows/win32/api/roapi/nf-roapi-rogetactivationfactory
    IWindowsProtectedPrintInfoStatics* statics = nullptr;
    result = getFactory(className, kIidProtectedPrintInfoStatics, reinterpret_cast<void**>(&statics));
    if (SUCCEEDED(result) && statics != nullptr) {
      // https://learn.microsoft.com/en-us/uwp/api/windows.graphics.printing.protectedprint.windowsprotectedprintinfo.isprotectedprintenabled
      boolean enabled = 0;
      result = statics->get_IsProtectedPrintEnabled(&enabled);
      if (SUCCEEDED(result)) answer = enabled != 0;
      statics->Release();
    } else if (SUCCEEDED(result)) {
      result = E_NOINTERFACE;
    }
  }
  if (SUCCEEDED(initialized)) roUninitialize();
  if (!answer) return fail(result);
  return answer;
}

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

std::uint32_t SetServiceAutomatic(const wchar_t* service, const char** failedCall) {
  return WithService(service, SERVICE_CHANGE_CONFIG, failedCall, [](SC_HANDLE handle, const CallFailure& failure) {
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-changeserviceconfigw
    if (::ChangeServiceConfigW(handle, SERVICE_NO_CHANGE, SERVICE_AUTO_START, SERVICE_NO_CHANGE, nullptr, nullptr,
                               nullptr, nullptr, nullptr, nullptr, nullptr))
      return std::uint32_t{0};
    return failure.LastError("ChangeServiceConfigW");
  });
}

std::uint32_t StartNamedService(const wchar_t* service, const char** failedCall) {
  return WithService(service, SERVICE_START, failedCall, [](SC_HANDLE handle, const CallFailure& failure) {
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-startservicew
    if (::StartServiceW(handle, 0, nullptr) || ::GetLastError() == ERROR_SERVICE_ALREADY_RUNNING)
      return std::uint32_t{0};
    return failure.LastError("StartServiceW");
  });
}

std::uint32_t QueryServiceRunning(const wchar_t* service, bool& running, const char** failedCall) {
  return WithService(service, SERVICE_QUERY_STATUS, failedCall, [&](SC_HANDLE handle, const CallFailure& failure) {
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-queryservicestatusex
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(handle, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof(status),
                                &needed))
      return failure.LastError("QueryServiceStatusEx");
    running = status.dwCurrentState == SERVICE_RUNNING;
    return std::uint32_t{0};
  });
}

}  // namespace oriel::win32
