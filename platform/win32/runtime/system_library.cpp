#include "platform/win32/runtime/system_library.h"

#include <string>

namespace oriel::win32 {

namespace {

// LOAD_LIBRARY_SEARCH_SYSTEM32 needs KB2533623 before Windows 8; without it
// the call fails with ERROR_INVALID_PARAMETER and the full path does the same
// job: https://learn.microsoft.com/en-us/windows/win32/api/libloaderapi/nf-libloaderapi-loadlibraryexw
HMODULE LoadFromSystemDirectory(const wchar_t* name) {
  HMODULE module = ::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr) return module;
  wchar_t directory[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return nullptr;
  std::wstring path(directory, length);
  path += L'\\';
  path += name;
  return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace

HMODULE SystemModule(const wchar_t* name) {
  if (HMODULE loaded = ::GetModuleHandleW(name)) return loaded;
  return LoadFromSystemDirectory(name);
}

FARPROC FindExport(HMODULE module, const char* name) {
  return module != nullptr ? ::GetProcAddress(module, name) : nullptr;
}

void RestrictDllSearch() {
  // Windows 8, or Windows 7 with KB2533623:
  // https://learn.microsoft.com/en-us/windows/win32/api/libloaderapi/nf-libloaderapi-setdefaultdlldirectories
  auto set = ORIEL_SYSTEM_FUNCTION(SystemModule(L"kernel32.dll"), SetDefaultDllDirectories);
  if (set != nullptr) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

}  // namespace oriel::win32
