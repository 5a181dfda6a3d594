#include "platform/win32/runtime/system_library.h"

#include <string>

#include "platform/library_loading.h"

namespace oriel::win32 {

namespace {

class Win32Loader : public LibraryLoader {
 public:
  // Microsoft's test for KB2533623, which brought the LOAD_LIBRARY_SEARCH_*
  // flags to Vista and 7; Windows 8 and later have them:
  // https://learn.microsoft.com/en-us/windows/win32/api/libloaderapi/nf-libloaderapi-loadlibraryexw
  bool HasSearchFlags() override {
    static const bool has =
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "AddDllDirectory") != nullptr;
    return has;
  }
  void* LoadFromSystem32(const std::wstring& name) override {
    return ::LoadLibraryExW(name.c_str(), nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  std::wstring SystemDirectory() override {
    wchar_t directory[MAX_PATH];
    const UINT length = ::GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(directory, length);
  }
  // With a full path the search order never comes into it; the flag makes
  // the DLL's own dependencies be looked for beside it, in System32.
  void* LoadFullPath(const std::wstring& path) override {
    return ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
};

Win32Loader& Loader() {
  static Win32Loader loader;
  return loader;
}

}  // namespace

HMODULE SystemModule(const wchar_t* name) {
  // Only a module already in the process: the linked comctl32 is the side-by-side
  // version 6, which no path to System32 would give.
  if (HMODULE loaded = ::GetModuleHandleW(name)) return loaded;
  return static_cast<HMODULE>(LoadSystemLibrary(Loader(), name));
}

FARPROC FindExport(HMODULE module, const char* name) {
  return module != nullptr ? ::GetProcAddress(module, name) : nullptr;
}

void RestrictDllSearch() {
  HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  switch (ChooseDllSearchRestriction(Loader())) {
    case DllSearchRestriction::System32Only:
      // https://learn.microsoft.com/en-us/windows/win32/api/libloaderapi/nf-libloaderapi-setdefaultdlldirectories
      if (auto set = ORIEL_SYSTEM_FUNCTION(kernel32, SetDefaultDllDirectories)) set(LOAD_LIBRARY_SEARCH_SYSTEM32);
      break;
    case DllSearchRestriction::WithoutCurrentDirectory:
      // An empty string takes the current directory out of the search order
      // (XP SP1 and later):
      // https://learn.microsoft.com/en-us/windows/win32/api/winbase/nf-winbase-setdlldirectoryw
      if (auto set = ORIEL_SYSTEM_FUNCTION(kernel32, SetDllDirectoryW)) set(L"");
      break;
  }
}

}  // namespace oriel::win32
