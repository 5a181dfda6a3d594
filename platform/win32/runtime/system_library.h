#pragma once
// The one way Oriel reaches a system function that an older Windows may lack:
// the DLL from the system directory only, the export looked up by name, and
// the pointer typed from the SDK's own declaration, so that the calling
// convention comes from the header and not from a hand-written type.
#include <windows.h>

namespace oriel::win32 {

// Before anything else loads: keep DLL searches to the system directory where
// Windows can (else at least out of the current directory), so a DLL planted
// beside the installer (a download folder) is never picked up.
void RestrictDllSearch();

// The module if the process has it already (kernel32, ntdll, user32, the
// linked comctl32), else loaded from the system directory only, by full path
// where Windows lacks LOAD_LIBRARY_SEARCH_SYSTEM32; nullptr when
// neither works.
HMODULE SystemModule(const wchar_t* name);

// GetProcAddress; nullptr for a null module or a missing export.
FARPROC FindExport(HMODULE module, const char* name);

template <typename Function>
Function SystemFunction(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(FindExport(module, name)));
}

}  // namespace oriel::win32

// The export of that name, typed by the header's declaration of that name:
//   auto query = ORIEL_SYSTEM_FUNCTION(kernel32, IsWow64Process2);
#define ORIEL_SYSTEM_FUNCTION(module, name) \
  ::oriel::win32::SystemFunction<decltype(&::name)>((module), #name)
