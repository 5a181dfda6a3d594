#include "install/default_printer.h"

namespace oriel {

// Windows 10's setting "Let Windows manage my default printer" (Microsoft
// support: "Set a default printer in Windows") is this value at 0 or absent.
bool WindowsManagesDefaultPrinter(SystemServices& system, Registry& registry) {
  OsVersionInfoEx version{};
  if (!system.QueryRealVersion(version) || version.dwMajorVersion < 10) return false;
  std::uint32_t mode = 0;
  if (registry.QueryDword(RegistryRoot::CurrentUser, std::string(kWindowsKeyPath),
                          std::string(kLegacyDefaultPrinterModeName), mode) != 0) {
    return true;  // absent (or unreadable): Windows' own default applies
  }
  return mode == 0;
}

std::string DeviceValueText(std::string_view driverName, std::string_view portName) {
  std::string text;
  text.append(driverName).append(",winspool,").append(portName);
  return text;
}

}  // namespace oriel
