#include "install/default_printer.h"

namespace oriel {

DefaultPrinterOwner FindDefaultPrinterOwner(SystemServices& system, Registry& registry) {
  // The shell runs as the person at the desktop; kiosk shells leave no shell
  // window, and then the user of the session Oriel runs in is that person.
  std::optional<DesktopUser> desktop = system.QueryShellUser();
  if (!desktop) desktop = system.QuerySessionUser();
  if (!desktop || desktop->isProcessUser || desktop->sid.empty()) return {};
  // A domain account whose name cannot be looked up (no domain controller
  // in reach) is still someone else's: the question must not say "your".
  std::string account = !desktop->name.empty() ? desktop->name : "the account signed in at this PC (" + desktop->sid + ")";
  DefaultPrinterOwner owner{RegistryRoot::Users, desktop->sid + "\\" + std::string(kWindowsKeyPath), std::move(account)};
  // A profile that is not loaded (or not ours to write) leaves the default
  // where it always went.
  RegistryKey key = nullptr;
  if (registry.OpenForSetValue(owner.root, owner.windowsKeyPath, key) != 0) return {};
  registry.Close(key);
  return owner;
}

bool RunsOnWindows10OrLater(SystemServices& system, Registry& registry) {
  OsVersionInfoEx version{};
  if (system.QueryRealVersion(version) && version.dwMajorVersion >= 10) return true;
  std::uint32_t major = 0;
  return registry.QueryDword(RegistryRoot::LocalMachine, std::string(kCurrentVersionKeyPath),
                             std::string(kCurrentMajorVersionName), major) == 0 &&
         major >= 10;
}

// Windows 10's setting "Let Windows manage my default printer" (Microsoft
// support: "Set a default printer in Windows") is this value at 0 or absent.
bool WindowsManagesDefaultPrinter(SystemServices& system, Registry& registry, const DefaultPrinterOwner& owner) {
  if (!RunsOnWindows10OrLater(system, registry)) return false;
  std::uint32_t mode = 0;
  if (registry.QueryDword(owner.root, owner.windowsKeyPath, std::string(kLegacyDefaultPrinterModeName), mode) !=
      0) {
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
