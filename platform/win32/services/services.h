#pragma once
// The real platform: winspool, the registry, the file system and the system
// services, behind the portable interfaces.
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/spooler.h"
#include "platform/spooler_service.h"
#include "platform/system.h"

namespace oriel::win32 {

// Before anything else loads: keep DLL searches to the system directory, so a
// DLL planted beside the installer (a download folder) is never picked up.
void RestrictDllSearch();

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

class Win32Registry final : public Registry {
 public:
  std::uint32_t OpenForSetValue(RegistryRoot root, const std::string& path, RegistryKey& key) override;
  std::uint32_t SetString(RegistryKey key, const std::string& name, const std::string& text) override;
  std::uint32_t SetDword(RegistryKey key, const std::string& name, std::uint32_t value) override;
  std::uint32_t DeleteValue(RegistryKey key, const std::string& name) override;
  void Close(RegistryKey key) override;
  std::uint32_t QueryDword(RegistryRoot root, const std::string& path, const std::string& name,
                           std::uint32_t& value) override;
};

class Win32FileSystem final : public FileSystem {
 public:
  std::uint32_t CopyReplacing(const std::string& source, const std::string& destination) override;
  std::uint32_t CheckReadable(const std::string& path) override;
  std::string FullPath(const std::string& path) override;
};

class Win32System final : public SystemServices {
 public:
  bool QueryVersion(OsVersionInfoEx& record) override;
  int QueryWow64Flag() override;
  bool QueryRealVersion(OsVersionInfoEx& record) override;
  std::optional<DesktopUser> QueryShellUser() override;
  std::optional<DesktopUser> QueryConsoleUser() override;
  std::optional<std::uint16_t> QueryNativeMachine() override;
  std::optional<bool> QueryProtectedPrintEnabled() override;
  void Sleep(std::uint32_t milliseconds) override;
  void DebugOutput(const std::string& text) override;
  void BroadcastSettingChange(const std::string& section) override;
};

class Win32SpoolerService final : public SpoolerService {
 public:
  std::uint32_t QueryStartKind(ServiceStartKind& kind) override;
  std::uint32_t SetAutomatic() override;
  std::uint32_t Start() override;
  std::uint32_t QueryRunning(bool& running) override;
};

}  // namespace oriel::win32
