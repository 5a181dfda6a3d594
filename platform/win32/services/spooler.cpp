#include <windows.h>
#include <winspool.h>
// The portable interface spells these as the spooler does; keep the Unicode
// macros of the headers from renaming them here.
#undef AddPort
#undef ConfigurePort
#undef GetPrinterDriverDirectory
#undef OpenPrinter

#include "platform/win32/services/spooler.h"

#include <cstddef>
#include <cstring>

#include "platform/win32/runtime/system_library.h"
#include "platform/win32/services/last_error.h"

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

namespace {

// winspool.drv is loaded from the system directory only, never by a static
// import that the loader could resolve beside the exe.
HMODULE Winspool() {
  static HMODULE module = SystemModule(L"winspool.drv");
  return module;
}

#define SPOOL(name) ORIEL_SYSTEM_FUNCTION(Winspool(), name)

// EnumPortsA and EnumMonitorsA share their shape.
using EnumFunction = decltype(&::EnumPortsA);

EnumAnswer Enumerate(EnumFunction call, DWORD level, std::byte* buffer, std::uint32_t size) {
  EnumAnswer answer;
  if (call == nullptr) {
    answer.error = ERROR_PROC_NOT_FOUND;
    return answer;
  }
  DWORD needed = 0;
  DWORD returned = 0;
  ::SetLastError(0);
  answer.ok = call(nullptr, level, reinterpret_cast<LPBYTE>(buffer), size, &needed, &returned) != FALSE;
  answer.error = answer.ok ? 0 : LastErrorOr(ERROR_GEN_FAILURE);
  answer.needed = needed;
  answer.returned = returned;
  return answer;
}

}  // namespace

EnumAnswer Win32Spooler::EnumPorts2(std::byte* buffer, std::uint32_t size) {
  return Enumerate(SPOOL(EnumPortsA), 2, buffer, size);
}

EnumAnswer Win32Spooler::EnumMonitors1(std::byte* buffer, std::uint32_t size) {
  return Enumerate(SPOOL(EnumMonitorsA), 1, buffer, size);
}

namespace {

// Only a FALSE result says the call failed (then GetLastError tells why):
// https://learn.microsoft.com/en-us/windows/win32/printdocs/addport and .../configureport.
// Wine's local monitor returns TRUE with a stale 122 left in the last error.
// AddPortA and ConfigurePortA share their shape.
std::uint32_t PortDialogCall(decltype(&::AddPortA) call, WindowHandle owner, const std::string& name) {
  if (call == nullptr) return ERROR_PROC_NOT_FOUND;
  ::SetLastError(0);
  if (call(nullptr, static_cast<HWND>(owner), const_cast<char*>(name.c_str()))) return 0;
  return LastErrorOr(ERROR_GEN_FAILURE);
}

}  // namespace

std::uint32_t Win32Spooler::AddPort(WindowHandle owner, const std::string& monitorName) {
  return PortDialogCall(SPOOL(AddPortA), owner, monitorName);
}

std::uint32_t Win32Spooler::ConfigurePort(WindowHandle owner, const std::string& portName) {
  return PortDialogCall(SPOOL(ConfigurePortA), owner, portName);
}

std::uint32_t Win32Spooler::GetPrinterDriverDirectory(const std::string& environment, char* buffer,
                                                      std::uint32_t size) {
  auto call = SPOOL(GetPrinterDriverDirectoryA);
  if (call == nullptr) return ERROR_PROC_NOT_FOUND;
  DWORD needed = 0;
  ::SetLastError(0);
  if (call(nullptr, const_cast<char*>(environment.c_str()), 1, reinterpret_cast<LPBYTE>(buffer), size, &needed))
    return 0;
  return LastErrorOr(ERROR_GEN_FAILURE);
}

std::uint32_t Win32Spooler::AddPrinterDriver3(const DriverInfo3& info) {
  auto call = SPOOL(AddPrinterDriverA);
  if (call == nullptr) return ERROR_PROC_NOT_FOUND;
  DRIVER_INFO_3A record{};
  static_assert(sizeof(record) == sizeof(info));
  std::memcpy(&record, &info, sizeof(record));
  ::SetLastError(0);
  if (call(nullptr, 3, reinterpret_cast<LPBYTE>(&record))) return 0;
  return LastErrorOr(ERROR_GEN_FAILURE);
}

PrinterHandle Win32Spooler::AddPrinter2(const PrinterRecord2& info, std::uint32_t& error) {
  auto call = SPOOL(AddPrinterA);
  if (call == nullptr) {
    error = ERROR_PROC_NOT_FOUND;
    return nullptr;
  }
  PRINTER_INFO_2A record{};
  std::memcpy(&record, &info, sizeof(record));
  ::SetLastError(0);
  HANDLE handle = call(nullptr, 2, reinterpret_cast<LPBYTE>(&record));
  error = handle != nullptr ? 0 : LastErrorOr(ERROR_GEN_FAILURE);
  return handle;
}

void Win32Spooler::ClosePrinter(PrinterHandle handle) {
  auto call = SPOOL(ClosePrinter);
  if (call != nullptr) call(handle);
}

PrinterHandle Win32Spooler::OpenPrinter(const std::string& name, std::uint32_t& error) {
  auto call = SPOOL(OpenPrinterA);
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
  error = LastErrorOr(ERROR_GEN_FAILURE);
  return nullptr;
}

std::uint32_t Win32Spooler::GetPrinter2(PrinterHandle handle, std::byte* buffer, std::uint32_t size,
                                        std::uint32_t& needed) {
  auto call = SPOOL(GetPrinterA);
  needed = 0;
  if (call == nullptr) return ERROR_PROC_NOT_FOUND;
  DWORD neededBytes = 0;
  ::SetLastError(0);
  const BOOL ok = call(handle, 2, reinterpret_cast<LPBYTE>(buffer), size, &neededBytes);
  needed = neededBytes;
  return ok ? 0 : LastErrorOr(ERROR_GEN_FAILURE);
}

std::uint32_t Win32Spooler::SetPrinter2(PrinterHandle handle, const PrinterRecord2& record) {
  auto call = SPOOL(SetPrinterA);
  if (call == nullptr) return ERROR_PROC_NOT_FOUND;
  PRINTER_INFO_2A info{};
  std::memcpy(&info, &record, sizeof(info));
  ::SetLastError(0);
  if (call(handle, 2, reinterpret_cast<LPBYTE>(&info), 0)) return 0;
  return LastErrorOr(ERROR_GEN_FAILURE);
}

}  // namespace oriel::win32
