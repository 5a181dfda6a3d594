#include "pages/logic/os_kind.h"

#include "resources/resource.h"

namespace oriel {
namespace {

constexpr std::uint32_t kPlatformWin32Windows = 1;  // VER_PLATFORM_WIN32_WINDOWS
constexpr std::uint32_t kPlatformWin32Nt = 2;       // VER_PLATFORM_WIN32_NT

int MapWindows9x(std::uint32_t major, std::uint32_t minor, int currentOsKind) {
  if (major != 4) return currentOsKind;
  switch (minor) {
    case 0: return 1;
    case 10: return 2;
    case 90: return 2;  // Me installs like 98
    default: return currentOsKind;
  }
}

int MapWindowsNt(std::uint32_t major, std::uint32_t minor, int currentOsKind) {
  if (major <= 4) return 3;
  if (major == 5) {
    switch (minor) {
      case 0: return 4;
      case 1: return 5;
      case 2: return 6;
      default: return currentOsKind;
    }
  }
  if (major == 6) {
    switch (minor) {
      case 0: return 7;
      case 1: return 8;
      case 2: return 9;
      default: return currentOsKind;
    }
  }
  return currentOsKind;
}

}  // namespace

int MapOsKind(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor, int currentOsKind) {
  switch (platformId) {
    case kPlatformWin32Windows: return MapWindows9x(major, minor, currentOsKind);
    case kPlatformWin32Nt: return MapWindowsNt(major, minor, currentOsKind);
    default: return 4;
  }
}

void DetectOsKind(SystemServices& system, int& osKind) {
  OsVersionInfoEx record{};
  record.dwOSVersionInfoSize = kOsVersionInfoExSize;
  if (!system.QueryVersion(record)) {
    // Systems before NT4 SP6 only know the short record. No second clear: a
    // short call that succeeds writes every field read below.
    record.dwOSVersionInfoSize = kOsVersionInfoSize;
    if (!system.QueryVersion(record)) return;
  }
  osKind = MapOsKind(record.dwPlatformId, record.dwMajorVersion, record.dwMinorVersion, osKind);
}

int RadioButtonForOsKind(int osKind) {
  switch (osKind) {
    case 1: return IDC_OS_WIN95;
    case 2: return IDC_OS_WIN98;
    case 3: return IDC_OS_NT4;
    case 4: return IDC_OS_WIN2000;
    case 5: return IDC_OS_WINXP;
    case 6: return IDC_OS_WIN2003;
    case 7: return IDC_OS_VISTA;
    case 8: return IDC_OS_WIN7;
    case 9: return IDC_OS_WIN8;
    default: return 0;
  }
}

}  // namespace oriel
