#pragma once
// Whose default printer the installation sets, and whether Windows manages
// it: Windows 10 and later make the printer used last the default unless the
// user turned that off.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "platform/system.h"

namespace oriel {

inline constexpr std::string_view kWindowsKeyPath = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
inline constexpr std::string_view kDeviceValueName = "Device";
inline constexpr std::string_view kLegacyDefaultPrinterModeName = "LegacyDefaultPrinterMode";
inline constexpr std::string_view kCurrentVersionKeyPath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
inline constexpr std::string_view kCurrentMajorVersionName = "CurrentMajorVersionNumber";

// Where "Device" and LegacyDefaultPrinterMode are kept for the person who
// prints. A cashier's standard account elevated with a technician's
// credentials runs Oriel as the technician, whose profile HKEY_CURRENT_USER
// then is; the cashier's profile is the desktop's user's key under
// HKEY_USERS.
struct DefaultPrinterOwner {
  RegistryRoot root = RegistryRoot::CurrentUser;
  std::string windowsKeyPath{kWindowsKeyPath};
  std::string accountName;  // "DOMAIN\user"; empty for the account Oriel runs as
};

// The desktop's user where that is another account whose profile is loaded;
// otherwise HKEY_CURRENT_USER, as when no desktop user can be found.
DefaultPrinterOwner FindDefaultPrinterOwner(SystemServices& system, Registry& registry);

// Windows 10 or later, by RtlGetVersion or by CurrentMajorVersionNumber,
// which Windows 10 writes and which no compatibility mode set on Oriel.exe
// changes (such a mode makes RtlGetVersion report the older Windows too).
bool RunsOnWindows10OrLater(SystemServices& system, Registry& registry);

// Windows 10 and later make the printer used last the default printer while
// the owner's LegacyDefaultPrinterMode is absent or 0.
bool WindowsManagesDefaultPrinter(SystemServices& system, Registry& registry, const DefaultPrinterOwner& owner);

// "<driver>,winspool,<port>"
std::string DeviceValueText(std::string_view driverName, std::string_view portName);

}  // namespace oriel
