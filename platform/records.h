#pragma once
// Portable mirrors of the spooler and version records. Each has the same field
// order and types as its Win32 counterpart (pointers are native), so the Win32
// layer can hand them to winspool unchanged and the fakes can lay them out in an
// enumeration buffer exactly as the spooler does. platform/win32 static_asserts
// the layouts.
#include <cstddef>
#include <cstdint>

namespace oriel {

// PORT_INFO_2A
struct PortInfo2 {
  const char* pPortName;
  const char* pMonitorName;
  const char* pDescription;
  std::uint32_t fPortType;
  std::uint32_t Reserved;
};

// MONITOR_INFO_1A
struct MonitorInfo1 {
  const char* pName;
};

// DRIVER_INFO_3A
struct DriverInfo3 {
  std::uint32_t cVersion;
  const char* pName;
  const char* pEnvironment;
  const char* pDriverPath;
  const char* pDataFile;
  const char* pConfigFile;
  const char* pHelpFile;
  const char* pDependentFiles;  // zero-terminated names, ended by an empty name
  const char* pMonitorName;
  const char* pDefaultDataType;
};

// PRINTER_INFO_2A, as AddPrinterA and SetPrinterA level 2 take it and
// GetPrinterA level 2 gives it.
struct PrinterRecord2 {
  const char* pServerName;
  const char* pPrinterName;
  const char* pShareName;
  const char* pPortName;
  const char* pDriverName;
  const char* pComment;
  const char* pLocation;
  void* pDevMode;
  const char* pSepFile;
  const char* pPrintProcessor;
  const char* pDatatype;
  const char* pParameters;
  void* pSecurityDescriptor;
  std::uint32_t Attributes;
  std::uint32_t Priority;
  std::uint32_t DefaultPriority;
  std::uint32_t StartTime;
  std::uint32_t UntilTime;
  std::uint32_t Status;
  std::uint32_t cJobs;
  std::uint32_t AveragePPM;
};

// OSVERSIONINFOEXA (156 bytes); its first 148 bytes are OSVERSIONINFOA.
struct OsVersionInfoEx {
  std::uint32_t dwOSVersionInfoSize;
  std::uint32_t dwMajorVersion;
  std::uint32_t dwMinorVersion;
  std::uint32_t dwBuildNumber;
  std::uint32_t dwPlatformId;
  char szCSDVersion[128];
  std::uint16_t wServicePackMajor;
  std::uint16_t wServicePackMinor;
  std::uint16_t wSuiteMask;
  std::uint8_t wProductType;
  std::uint8_t wReserved;
};
static_assert(sizeof(OsVersionInfoEx) == 156);
inline constexpr std::uint32_t kOsVersionInfoExSize = 156;
inline constexpr std::uint32_t kOsVersionInfoSize = 148;

}  // namespace oriel
