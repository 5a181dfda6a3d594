#pragma once
// The print spooler's winspool.drv calls behind the portable interface.
#include "platform/spooler.h"

namespace oriel::win32 {

class Win32Spooler final : public Spooler {
 public:
  EnumAnswer EnumPorts2(std::byte* buffer, std::uint32_t size) override;
  EnumAnswer EnumMonitors1(std::byte* buffer, std::uint32_t size) override;
  std::uint32_t AddPort(WindowHandle owner, const std::string& monitorName) override;
  std::uint32_t ConfigurePort(WindowHandle owner, const std::string& portName) override;
  std::uint32_t GetPrinterDriverDirectory(const std::string& environment, char* buffer,
                                          std::uint32_t size) override;
  std::uint32_t AddPrinterDriver3(const DriverInfo3& info) override;
  PrinterHandle AddPrinter2(const PrinterRecord2& info, std::uint32_t& error) override;
  void ClosePrinter(PrinterHandle handle) override;
  PrinterHandle OpenPrinter(const std::string& name, std::uint32_t& error) override;
  std::uint32_t GetPrinter2(PrinterHandle handle, std::byte* buffer, std::uint32_t size,
                            std::uint32_t& needed) override;
  std::uint32_t SetPrinter2(PrinterHandle handle, const PrinterRecord2& record) override;
};

}  // namespace oriel::win32
