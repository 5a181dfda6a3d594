#pragma once
// How a DLL of the system is loaded, so that a DLL of the same name planted
// beside Oriel.exe (a download folder) is never picked up, whatever Windows
// the program runs on.
#include <string>

namespace oriel {

class LibraryLoader {
 public:
  virtual ~LibraryLoader() = default;
  // Whether the LOAD_LIBRARY_SEARCH_* flags are there: kernel32 exports
  // AddDllDirectory (Windows 8, or Vista and 7 with KB2533623).
  virtual bool HasSearchFlags() = 0;
  // LoadLibraryExW(name, LOAD_LIBRARY_SEARCH_SYSTEM32); nullptr on failure.
  virtual void* LoadFromSystem32(const std::wstring& name) = 0;
  // The system directory without a trailing backslash; empty on failure.
  virtual std::wstring SystemDirectory() = 0;
  // LoadLibraryExW of a full path; nullptr on failure.
  virtual void* LoadFullPath(const std::wstring& path) = 0;
};

// Where the flags exist they keep the search to System32. Where they do not
// (XP, Server 2003, Vista and 7 without the update), LoadLibraryEx's page does
// not say the call fails, and a loader that ignores an unknown flag searches
// the program's folder first: there only a full path is handed over.
inline void* LoadSystemLibrary(LibraryLoader& loader, const std::wstring& name) {
  if (loader.HasSearchFlags()) {
    if (void* module = loader.LoadFromSystem32(name)) return module;
  }
  const std::wstring directory = loader.SystemDirectory();
  if (directory.empty()) return nullptr;
  return loader.LoadFullPath(directory + L'\\' + name);
}

// What the process-wide search order is set to before anything else loads.
enum class DllSearchRestriction {
  System32Only,            // SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)
  WithoutCurrentDirectory  // SetDllDirectoryW(L""): XP SP1 and later
};

// The same test as the loads take, so that the two never disagree about
// which Windows has the flags.
inline DllSearchRestriction ChooseDllSearchRestriction(LibraryLoader& loader) {
  return loader.HasSearchFlags() ? DllSearchRestriction::System32Only : DllSearchRestriction::WithoutCurrentDirectory;
}

}  // namespace oriel
