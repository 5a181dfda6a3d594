#pragma once
// Which Windows the wizard runs on, as the OS page shows it. OsKind 0 means not
// detected; 1..9 are Windows 95 to Windows 8.
#include <cstdint>

#include "platform/system.h"

namespace oriel {

inline constexpr int kOsKindNone = 0;
inline constexpr int kOsKindMax = 9;
// The Windows NT family, NT 4.0 to Windows 8: the kinds after whose
// installation the wizard says "Completed!".
inline constexpr int kFirstNtOsKind = 3;
constexpr bool IsNtOsKind(int osKind) { return osKind >= kFirstNtOsKind && osKind <= kOsKindMax; }

// OsKind for a reported platform id and version. Versions this installer does
// not know keep currentOsKind, so a later Windows never looks like an older one.
int MapOsKind(std::uint32_t platformId, std::uint32_t major, std::uint32_t minor, int currentOsKind);

// Asks for the version with the extended record, then with the plain one;
// leaves osKind alone when both are refused.
void DetectOsKind(SystemServices& system, int& osKind);

// The OS page's radio button for osKind (IDC_OS_*), or 0 when none is marked.
int RadioButtonForOsKind(int osKind);

}  // namespace oriel
