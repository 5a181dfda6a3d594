#pragma once
// What the install needs to know about the PC it runs on: who owns the
// desktop, what the processor really is, whether Windows protected print mode
// is on, and the Print Spooler service's start type and state.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/spooler_service.h"
#include "platform/system.h"

namespace oriel::win32 {

// The user of the shell's process token; nullopt where there is no shell
// window (a kiosk shell) or its token cannot be read. The name is empty when
// its lookup failed.
std::optional<DesktopUser> ShellAccount();
// The user signed in to the session this process runs in: under Remote
// Desktop the console session belongs to someone else, or to nobody.
std::optional<DesktopUser> SessionAccount();

// IMAGE_FILE_MACHINE_* of the machine (0x14c i386, 0x8664 AMD64, 0xAA64
// ARM64) as IsWow64Process2 reports it; nullopt before Windows 10 1709 or
// when the call fails.
std::optional<std::uint16_t> NativeMachine();

// WindowsProtectedPrintInfo.IsProtectedPrintEnabled through the Windows
// Runtime; call it on the UI thread. nullopt where the Windows Runtime or the
// class is missing (before Windows 11 24H2) or a call fails; hresult, when
// given, receives the failed call's HRESULT (0 on success).
std::optional<bool> ProtectedPrintEnabled(std::int32_t* hresult = nullptr);

// Each returns 0 or the system error code; failedCall, when given, receives
// the name of the call that failed (for the error text), or nullptr.
std::uint32_t QueryServiceStartType(const wchar_t* service, ServiceStartKind& kind,
                                    const char** failedCall = nullptr);
std::uint32_t SetServiceAutomatic(const wchar_t* service, const char** failedCall = nullptr);
// Not "StartService": <windows.h> makes that a macro for StartServiceW/A.
// A service that is already running counts as started.
std::uint32_t StartNamedService(const wchar_t* service, const char** failedCall = nullptr);
std::uint32_t QueryServiceRunning(const wchar_t* service, bool& running, const char** failedCall = nullptr);

}  // namespace oriel::win32
