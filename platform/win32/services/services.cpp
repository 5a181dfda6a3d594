#include <windows.h>
#include <winspool.h>
// The portable interface spells these as the spooler does; keep the Unicode
// macros of the headers from renaming them here.
#undef AddPort
#undef ConfigurePort
#undef GetPrinterDriverDirectory
#undef OpenPrinter

#include "platform/win32/services/services.h"

#include "platform/win32/services/shop_pc.h"

#include <cstddef>
#include <cstring>
#include <string>

namespace oriel::win32 {

static_assert(sizeof(PortInfo2) == sizeof(PORT_INFO_2A));
static_assert(offsetof(PortInfo2, pDescription) == offsetof(PORT_INFO_2A, pDescription));
static_assert(offsetof(PortInfo2, Reserved) == offsetof(PORT_INFO_2A, Reserved));
static_assert(sizeof(MonitorInfo1) == sizeof(MONITOR_INFO_1A));
static_assert(sizeof(DriverInfo3) == sizeof(DRIVER_INFO_3A));
static_assert(offsetof(DriverInfo3, pDependentFiles) == offsetof(DRIVER_INFO_3A, pDependentFiles));
static_assert(offsetof(DriverInfo3, pDefaultDataType) == offsetof(DRIVER_INFO_3A, pDefaultDataType));
static_assert(sizeof(PrinterRecord2) == sizeof(PRINTER_INFO_2A));
static_assert(offsetof(PrinterRecord2, pPortName) == offsetof(PRINTER_INFO_2A, pPortName));
static_assert(offsetof(PrinterRecord2, pDriverName) == offsetof(PRINTER_INFO_2A, pDriverName));
static_assert(offsetof(PrinterRecord2, pSecurityDescriptor) == offsetof(PRINTER_INFO_2A, pSecurityDescriptor));
static_assert(offsetof(PrinterRecord2, AveragePPM) == offsetof(PRINTER_INFO_2A, AveragePPM));
static_assert(sizeof(OsVersionInfoEx) == sizeof(OSVERSIONINFOEXA));
static_assert(kOsVersionInfoSize == sizeof(OSVERSIONINFOA));

namespace {

template <typename Function>
Function LookUp(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// winspool.drv is loaded from the system directory only, never by a static
// import that the loader could resolve beside the exe.
HMODULE Winspool() {
  static HMODULE module = [] {
    HMODULE loaded = ::LoadLibraryExW(L"winspool.drv", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (loaded == nullptr) {
      // Systems without the search flags: name the file by its full path.
      wchar_t directory[MAX_PATH];
      const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
      if (length > 0 && length < MAX_PATH) {
        std::wstring path(directory, length);
        path += L"\\winspool.drv";
        loaded = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
      }
    }
    return loaded;
  }();
  return module;
}

template <typename Function>
Function Spool(const char* name) {
  return LookUp<Function>(Winspool(), name);
}

std::uint32_t ErrorOr(DWORD fallback) {
  const DWORD error = ::GetLastError();
  return error != 0 ? error : fallback;
}

using EnumFunction = BOOL(WINAPI*)(LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);

EnumAnswer Enumerate(const char* function, DWORD level, std::byte* buffer, std::uint32_t size) {
  EnumAnswer answer;
  auto call = Spool<EnumFunction>(function);
  if (call == nullptr) {
    answer.error = ERROR_PROC_NOT_FOUND;
    return answer;
  }
  DWORD needed = 0;
  DWORD returned = 0;
  ::SetLastError(0);
  answer.ok = call(nullptr, level, reinterpret_cast<LPBYTE>(buffer), size, &needed, &returned) != FALSE;
  answer.error = answer.ok ? 0 : ErrorOr(ERROR_GEN_FAILURE);
  answer.needed = needed;
  answer.returned = returned;
  return answer;
}

}  // namespace

void RestrictDllSearch() {
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  auto set = LookUp<SetDefaultDllDirectoriesFunction>(::GetModuleHandleW(L"kernel32.dll"),
                                                       "SetDefaultDllDirectories");
  if (set != nullptr) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

EnumAnswer Win32Spooler::EnumPorts2(std::byte* buffer, std::uint32_t size) {
  return Enumerate("EnumPortsA", 2, buffer, size);
}

EnumAnswer Win32Spooler::EnumMonitors1(std::byte* buffer, std::uint32_t size) {
  return Enumerate("EnumMonitorsA", 1, buffer, size);
}

namespace {

// Only a FALSE result says the call failed (then GetLastError tells why):
// https://learn.microsoft.com/en-us/windows/win32/printdocs/addport and .../configureport.
// Wine's local monitor returns TRUE with a stale 122 left in the last error.
std::uint32_t PortDialogCall(const char* function, WindowHandle owner, const std::string& name) {
  auto call = Spool<BOOL(WINAPI*)(LPSTR, HWND, LPSTR)>(function);
  if (call == nullptr) return ERROR_PROC_NOT_FOUND;
  ::SetLastError(0);
  if (call(nullptr, static_cast<HWND>(owner), const_cast<char*>(name.c_str()))) return 0;
  return ErrorOr(ERROR_GEN_FAILURE);
}

}  // namespace

std::uint32_t Win32Spooler::AddPort(WindowHandle owner, const std::string& monitorName) {
  return PortDialogCall("AddPortA", owner, monitorName);
}

std::uint32_t Win32Spooler::ConfigurePort(WindowHandle owner, const std::string& portName) {
  return PortDialogCall("ConfigurePortA", owner, portName);
}

std::uint32_t Win32Spooler::GetPrinterDriverDirectory(const std::string& environment, char* buffer,
                                                      std::uint32_t size) {
  auto call = Spool<BOOL(WINAPI*)(LPSTR, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD)>("GetPrinterDriverDirectoryA");
  if (call == nullptr) return ERROR_PROC_NOT_FOUND;
  DWORD needed = 0;
  ::SetLastError(0);
  if (call(nullptr, const_cast<char*>(environment.c_str()), 1, reinterpret_cast<LPBYTE>(buffer), size, &needed))
    return 0;
  return ErrorOr(ERROR_GEN_FAILURE);
}

std::uint32_t Win32Spooler::AddPrinterDriver3(const DriverInfo3& info) {
  auto call = Spool<BOOL(WINAPI*)(LPSTR, DWORD, LPBYTE)>("AddPrinterDriverA");
  if (call == nullptr) return ERROR_PROC_NOT_FOUND;
  DRIVER_INFO_3A record{};
  static_assert(sizeof(record) == sizeof(info));
  std::memcpy(&record, &info, sizeof(record));
  ::SetLastError(0);
  if (call(nullptr, 3, reinterpret_cast<LPBYTE>(&record))) return 0;
  return ErrorOr(ERROR_GEN_FAILURE);
}

PrinterHandle Win32Spooler::AddPrinter2(const PrinterRecord2& info, std::uint32_t& error) {
  auto call = Spool<HANDLE(WINAPI*)(LPSTR, DWORD, LPBYTE)>("AddPrinterA");
  if (call == nullptr) {
    error = ERROR_PROC_NOT_FOUND;
    return nullptr;
  }
  PRINTER_INFO_2A record{};
  std::memcpy(&record, &info, sizeof(record));
  ::SetLastError(0);
  HANDLE handle = call(nullptr, 2, reinterpret_cast<LPBYTE>(&record));
  error = handle != nullptr ? 0 : ErrorOr(ERROR_GEN_FAILURE);
  return handle;
}

void Win32Spooler::ClosePrinter(PrinterHandle handle) {
  auto call = Spool<BOOL(WINAPI*)(HANDLE)>("ClosePrinter");
  if (call != nullptr) call(handle);
}

PrinterHandle Win32Spooler::OpenPrinter(const std::string& name, std::uint32_t& error) {
  auto call = Spool<BOOL(WINAPI*)(LPSTR, LPHANDLE, LPPRINTER_DEFAULTSA)>("OpenPrinterA");
  if (call == nullptr) {
    error = ERROR_PROC_NOT_FOUND;
    return nullptr;
  }
  PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
  HANDLE handle = nullptr;
  ::SetLastError(0);
  if (call(const_cast<char*>(name.c_str()), &handle, &defaults) && handle != nullptr) {
    error = 0;
    return handle;
  }
  error = ErrorOr(ERROR_GEN_FAILURE);
  return nullptr;
}

std::uint32_t Win32Spooler::GetPrinter2(PrinterHandle handle, std::byte* buffer, std::uint32_t size,
                                        std::uint32_t& needed) {
  auto call = Spool<BOOL(WINAPI*)(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD)>("GetPrinterA");
  needed = 0;
  if (call == nullptr) return ERROR_PROC_NOT_FOUND;
  DWORD neededBytes = 0;
  ::SetLastError(0);
  const BOOL ok = call(handle, 2, reinterpret_cast<LPBYTE>(buffer), size, &neededBytes);
  needed = neededBytes;
  return ok ? 0 : ErrorOr(ERROR_GEN_FAILURE);
}

std::uint32_t Win32Spooler::SetPrinter2(PrinterHandle handle, const PrinterRecord2& record) {
  auto call = Spool<BOOL(WINAPI*)(HANDLE, DWORD, LPBYTE, DWORD)>("SetPrinterA");
  if (call == nullptr) return ERROR_PROC_NOT_FOUND;
  PRINTER_INFO_2A info{};
  std::memcpy(&info, &record, sizeof(info));
  ::SetLastError(0);
  if (call(handle, 2, reinterpret_cast<LPBYTE>(&info), 0)) return 0;
  return ErrorOr(ERROR_GEN_FAILURE);
}

namespace {

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::Users: return HKEY_USERS;
  }
  return HKEY_CURRENT_USER;
}

}  // namespace

std::uint32_t Win32Registry::OpenForSetValue(RegistryRoot root, const std::string& path, RegistryKey& key) {
  HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExA(RootKey(root), path.c_str(), 0, KEY_SET_VALUE, &opened);
  key = status == ERROR_SUCCESS ? opened : nullptr;
  return static_cast<std::uint32_t>(status);
}

std::uint32_t Win32Registry::SetString(RegistryKey key, const std::string& name, const std::string& text) {
  return static_cast<std::uint32_t>(::RegSetValueExA(static_cast<HKEY>(key), name.c_str(), 0, REG_SZ,
                                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                                     static_cast<DWORD>(text.size() + 1)));
}

std::uint32_t Win32Registry::SetDword(RegistryKey key, const std::string& name, std::uint32_t value) {
  const DWORD data = value;
  return static_cast<std::uint32_t>(::RegSetValueExA(static_cast<HKEY>(key), name.c_str(), 0, REG_DWORD,
                                                     reinterpret_cast<const BYTE*>(&data), sizeof(data)));
}

std::uint32_t Win32Registry::DeleteValue(RegistryKey key, const std::string& name) {
  return static_cast<std::uint32_t>(::RegDeleteValueA(static_cast<HKEY>(key), name.c_str()));
}

void Win32Registry::Close(RegistryKey key) { ::RegCloseKey(static_cast<HKEY>(key)); }

std::uint32_t Win32Registry::QueryDword(RegistryRoot root, const std::string& path, const std::string& name,
                                        std::uint32_t& value) {
  HKEY key = nullptr;
  // Under WOW64 a 32-bit process's HKLM\SOFTWARE is a copy of its own; what
  // Windows says of itself lies in the 64-bit view, which 32-bit Windows
  // ignores the flag for:
  // https://learn.microsoft.com/en-us/windows/win32/winprog64/accessing-an-alternate-registry-view
  const REGSAM view = root == RegistryRoot::LocalMachine ? KEY_WOW64_64KEY : 0;
  LONG status = ::RegOpenKeyExA(RootKey(root), path.c_str(), 0, KEY_QUERY_VALUE | view, &key);
  if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof(data);
  status = ::RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  ::RegCloseKey(key);
  if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && (type != REG_DWORD || size != sizeof(data))))
    return ERROR_INVALID_DATA;
  if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
  value = data;
  return 0;
}

std::uint32_t Win32FileSystem::CopyReplacing(const std::string& source, const std::string& destination) {
  ::SetLastError(0);
  if (::CopyFileA(source.c_str(), destination.c_str(), FALSE)) return 0;
  return ErrorOr(ERROR_GEN_FAILURE);
}

std::uint32_t Win32FileSystem::CheckReadable(const std::string& path) {
  ::SetLastError(0);
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ErrorOr(ERROR_GEN_FAILURE);
  ::CloseHandle(file);
  return 0;
}

std::string Win32FileSystem::FullPath(const std::string& path) {
  std::string full(MAX_PATH, '\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.assign(length, '\0');  // length counts the terminator when the buffer was short
  }
  return path;
}

bool Win32System::QueryVersion(OsVersionInfoEx& record) {
  return ::GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&record)) != FALSE;
}

int Win32System::QueryWow64Flag() {
#ifdef _WIN64
  // A 64-bit build runs only on 64-bit Windows, where the x64 package is the
  // one to install, just as for the 32-bit build under WOW64.
  return 1;
#else
  BOOL flag = FALSE;
  using IsWow64ProcessFunction = BOOL(WINAPI*)(HANDLE, PBOOL);
  auto query = LookUp<IsWow64ProcessFunction>(::GetModuleHandleA("kernel32"), "IsWow64Process");
  if (query != nullptr) query(::GetCurrentProcess(), &flag);  // a failed call leaves the flag 0
  return flag;
#endif
}

bool Win32System::QueryRealVersion(OsVersionInfoEx& record) {
  // RtlGetVersion answers without the compatibility shims that make
  // GetVersionExA report 6.2 to a program that declares no newer Windows:
  // https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/wdm/nf-wdm-rtlgetversion
  using RtlGetVersionFunction = LONG(WINAPI*)(OSVERSIONINFOEXW*);
  auto query = LookUp<RtlGetVersionFunction>(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
  if (query == nullptr) return false;
  OSVERSIONINFOEXW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (query(&info) != 0) return false;  // an NTSTATUS; 0 is success
  record.dwMajorVersion = info.dwMajorVersion;
  record.dwMinorVersion = info.dwMinorVersion;
  record.dwBuildNumber = info.dwBuildNumber;
  record.dwPlatformId = info.dwPlatformId;
  record.wServicePackMajor = info.wServicePackMajor;
  record.wServicePackMinor = info.wServicePackMinor;
  record.wSuiteMask = info.wSuiteMask;
  record.wProductType = info.wProductType;
  return true;
}

void Win32System::Sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

void Win32System::DebugOutput(const std::string& text) { ::OutputDebugStringA(text.c_str()); }

namespace {

// A broadcast gives each window the whole timeout, so a few slow windows
// would add up to seconds:
// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-sendmessagetimeoutw
// It goes out on a thread of its own, which the wizard waits for a second at most.
DWORD WINAPI BroadcastThread(void* section) {
  constexpr UINT kPerWindowTimeoutMs = 200;
  DWORD_PTR result = 0;
  ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(section),
                        SMTO_ABORTIFHUNG | SMTO_NORMAL, kPerWindowTimeoutMs, &result);
  return 0;
}

}  // namespace

void Win32System::BroadcastSettingChange(const std::string& section) {
  constexpr DWORD kWaitMs = 1000;
  // Outlives the call: the thread may still be sending after the wait.
  static std::string text;
  text = section;
  HANDLE thread = ::CreateThread(nullptr, 0, &BroadcastThread, text.data(), 0, nullptr);
  if (thread == nullptr) return;
  // The broadcast reaches this thread's own windows too: their sent
  // messages are answered meanwhile, or each would wait out its timeout.
  const DWORD start = ::GetTickCount();
  for (DWORD waited = 0; waited < kWaitMs; waited = ::GetTickCount() - start) {
    const DWORD woke = ::MsgWaitForMultipleObjects(1, &thread, FALSE, kWaitMs - waited, QS_SENDMESSAGE);
    if (woke != WAIT_OBJECT_0 + 1) break;  // the thread ended, the time is up, or the wait failed
    MSG message;
    ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
  ::CloseHandle(thread);
}

std::optional<DesktopUser> Win32System::QueryShellUser() { return ShellAccount(); }
std::optional<DesktopUser> Win32System::QueryConsoleUser() { return SessionAccount(); }
std::optional<std::uint16_t> Win32System::QueryNativeMachine() { return NativeMachine(); }
std::optional<bool> Win32System::QueryProtectedPrintEnabled() { return ProtectedPrintEnabled(); }

namespace {
constexpr wchar_t kSpoolerServiceName[] = L"Spooler";
}  // namespace

std::uint32_t Win32SpoolerService::QueryStartKind(ServiceStartKind& kind) {
  return QueryServiceStartType(kSpoolerServiceName, kind);
}
std::uint32_t Win32SpoolerService::SetAutomatic() { return SetServiceAutomatic(kSpoolerServiceName); }
std::uint32_t Win32SpoolerService::Start() { return StartNamedService(kSpoolerServiceName); }
std::uint32_t Win32SpoolerService::QueryRunning(bool& running) {
  return QueryServiceRunning(kSpoolerServiceName, running);
}

}  // namespace oriel::win32
