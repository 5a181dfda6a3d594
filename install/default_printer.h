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

// Windows 10 and later make the printer used last the default printer while
// LegacyDefaultPrinterMode (HKCU, the "Device" key) is absent or 0. The
// version comes from RtlGetVersion: GetVersionExA says 6.2 there.
bool WindowsManagesDefaultPrinter(SystemServices& system, Registry& registry);

// "<driver>,winspool,<port>"
std::string DeviceValueText(std::string_view driverName, std::string_view portName);

}  // namespace oriel
