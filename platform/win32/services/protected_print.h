#pragma once
// Whether Windows protected print mode is on, which allows only the inbox
// print driver.
#include <cstdint>
#include <optional>

namespace oriel::win32 {

// WindowsProtectedPrintInfo.IsProtectedPrintEnabled through the Windows
// Runtime; call it on the UI thread. nullopt where the Windows Runtime or the
// class is missing (before Windows 11 24H2) or a call fails; hresult, when
// given, receives the failed call's HRESULT (0 on success).
std::optional<bool> ProtectedPrintEnabled(std::int32_t* hresult = nullptr);

}  // namespace oriel::win32
