#pragma once
// The print spooler as the installer sees it: its client operations, all on
// the local machine, with 8-bit texts.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/records.h"

namespace oriel {

// An opaque window handle, passed through to the spooler as the owner of the
// monitor's own dialogs.
using WindowHandle = void*;
using PrinterHandle = void*;

// ERROR_INSUFFICIENT_BUFFER: the answer of a call whose buffer is too small.
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorNotEnoughMemory = 8;
// ERROR_CANCELLED: the user closed a monitor's dialog without a change.
inline constexpr std::uint32_t kErrorCancelled = 1223;

// The answer of one enumeration call (EnumPortsA / EnumMonitorsA).
struct EnumAnswer {
  bool ok = false;
  std::uint32_t needed = 0;    // bytes the spooler wants
  std::uint32_t returned = 0;  // records it wrote
  std::uint32_t error = 0;     // GetLastError() when !ok
};

class Spooler {
 public:
  virtual ~Spooler() = default;

  // EnumPortsA(NULL, 2, buffer, size, &needed, &returned). buffer may be null
  // when size is 0. Records are PortInfo2.
  virtual EnumAnswer EnumPorts2(std::byte* buffer, std::uint32_t size) = 0;
  // EnumMonitorsA(NULL, 1, ...). Records are MonitorInfo1.
  virtual EnumAnswer EnumMonitors1(std::byte* buffer, std::uint32_t size) = 0;

  // AddPortA(NULL, owner, monitorName). Returns 0 on success, else the
  // system error code (1223 when the user cancelled the monitor's dialog).
  virtual std::uint32_t AddPort(WindowHandle owner, const std::string& monitorName) = 0;
  // ConfigurePortA(NULL, owner, portName). Returns as AddPort does.
  virtual std::uint32_t ConfigurePort(WindowHandle owner, const std::string& portName) = 0;

  // GetPrinterDriverDirectoryA(NULL, environment, 1, buffer, size, &needed).
  // Returns 0 on success, else the system error code.
  virtual std::uint32_t GetPrinterDriverDirectory(const std::string& environment, char* buffer,
                                                  std::uint32_t size) = 0;
  // AddPrinterDriverA(NULL, 3, &info). Returns 0 on success, else the error code.
  virtual std::uint32_t AddPrinterDriver3(const DriverInfo3& info) = 0;
  // AddPrinterA(NULL, 2, &record). Fields the caller leaves zero are the
  // spooler's to choose. Returns the handle (null on failure) and sets error
  // to the system error code on failure.
  virtual PrinterHandle AddPrinter2(const PrinterRecord2& record, std::uint32_t& error) = 0;
  virtual void ClosePrinter(PrinterHandle handle) = 0;

  // OpenPrinterA(name, &handle, {NULL, NULL, PRINTER_ALL_ACCESS}). Returns
  // the handle (null on failure) and sets error on failure.
  virtual PrinterHandle OpenPrinter(const std::string& name, std::uint32_t& error) = 0;
  // GetPrinterA(handle, 2, buffer, size, &needed). buffer may be null when
  // size is 0. Returns 0 on success, else the error code; needed is set either way.
  virtual std::uint32_t GetPrinter2(PrinterHandle handle, std::byte* buffer, std::uint32_t size,
                                    std::uint32_t& needed) = 0;
  // SetPrinterA(handle, 2, &record, 0). Returns 0 on success, else the error code.
  virtual std::uint32_t SetPrinter2(PrinterHandle handle, const PrinterRecord2& record) = 0;
};

}  // namespace oriel
