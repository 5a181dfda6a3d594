#include "tests/e2e/test_package.h"

#include <windows.h>

#include <map>
#include <stdexcept>

#include "tests/e2e/spooler_checks.h"
#include "tests/e2e/ui_driver.h"

namespace e2e {
namespace {

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot create " + Utf8(path) + ": " + LastErrorText());
  DWORD written = 0;
  const BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  const DWORD error = GetLastError();
  CloseHandle(file);
  if (!ok || written != bytes.size()) throw std::runtime_error("cannot write " + Utf8(path) + ": " + ErrorText(error));
}

void MakeFolder(const std::wstring& path) {
  if (!CreateDirectoryW(path.c_str(), nullptr)) {
    throw std::runtime_error("cannot create folder " + Utf8(path) + ": " + LastErrorText());
  }
}

void RemoveTree(const std::wstring& path) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = found.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(child);
      } else {
        SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(child.c_str());
      }
    } while (FindNextFileW(search, &found));
    FindClose(search);
  }
  RemoveDirectoryW(path.c_str());
}

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Where the machine keeps Unidrv for the run's environment: the spooler's
// version-3 folder, then the newest print class driver in the driver store.
struct MachineUnidrv {
  std::vector<std::wstring> looked;
  std::wstring core;  // the one holding the three DLLs; empty if none does
};

const MachineUnidrv& Machine() {
  static const MachineUnidrv machine = [] {
    MachineUnidrv found;
    if (UnderWine()) return found;
    const bool x64 = CurrentTarget().environment == L"Windows x64";
    try {
      found.looked.push_back(DriverDirectory(CurrentTarget().environment) + L"\\3");
    } catch (const std::exception&) {
    }
    wchar_t windows[MAX_PATH];
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (GetWindowsDirectoryW(windows, MAX_PATH)) {
      // A 32-bit process reaches the 64-bit System32 through Sysnative.
      // https://learn.microsoft.com/en-us/windows/win32/winprog64/file-system-redirector
      const std::wstring repository =
          std::wstring(windows) + (wow64 ? L"\\Sysnative" : L"\\System32") + L"\\DriverStore\\FileRepository\\";
      WIN32_FIND_DATAW entry;
      FILETIME newest{};
      std::wstring best;
      HANDLE search = FindFirstFileW((repository + (x64 ? L"ntprint.inf_amd64_*" : L"ntprint.inf_x86_*")).c_str(), &entry);
      if (search != INVALID_HANDLE_VALUE) {
        do {
          if (CompareFileTime(&entry.ftLastWriteTime, &newest) > 0) newest = entry.ftLastWriteTime, best = entry.cFileName;
        } while (FindNextFileW(search, &entry));
        FindClose(search);
      }
      if (!best.empty()) found.looked.push_back(repository + best + (x64 ? L"\\Amd64" : L"\\I386"));
    }
    for (const std::wstring& folder : found.looked) {
      if (FileExists(folder + L"\\UNIDRV.DLL") && FileExists(folder + L"\\UNIDRVUI.DLL") &&
          FileExists(folder + L"\\UNIRES.DLL")) {
        found.core = folder;
        break;
      }
    }
    return found;
  }();
  return machine;
}

bool RealPackage(const std::wstring& folder) {
  return !Machine().core.empty() && SameName(folder, CurrentTarget().packageFolder);
}

// A small GPD of our own, enough for Unidrv to build a printer's defaults.
// https://learn.microsoft.com/en-us/windows-hardware/drivers/print/root-level-only-attributes
std::string Gpd(const std::wstring& name) {
  const std::string file = Utf8(name);
  return "*GPDSpecVersion: \"1.0\"\r\n*GPDFileVersion: \"1.0\"\r\n*GPDFileName: \"" + file +
         "\"\r\n*ModelName: \"Oriel test " + file.substr(0, file.find('.')) +
         "\"\r\n*MasterUnits: PAIR(203, 203)\r\n*PrinterType: SERIAL\r\n*MaxCopies: 1\r\n"
         "*Feature: Orientation\r\n{\r\n  *Name: \"Orientation\"\r\n  *DefaultOption: PORTRAIT\r\n"
         "  *Option: PORTRAIT { *Name: \"Portrait\" }\r\n}\r\n"
         "*Feature: InputBin\r\n{\r\n  *Name: \"Paper Source\"\r\n  *DefaultOption: FORMSOURCE\r\n"
         "  *Option: FORMSOURCE { *Name: \"Roll\" }\r\n}\r\n"
         "*Feature: Resolution\r\n{\r\n  *Name: \"Resolution\"\r\n  *DefaultOption: Option1\r\n"
         "  *Option: Option1\r\n  {\r\n    *Name: \"203 x 203 dots per inch\"\r\n    *DPI: PAIR(203, 203)\r\n"
         "    *TextDPI: PAIR(203, 203)\r\n    *SpotDiameter: 100\r\n  }\r\n}\r\n"
         "*Feature: PaperSize\r\n{\r\n  *Name: \"Paper Size\"\r\n  *DefaultOption: LETTER\r\n"
         "  *Option: LETTER\r\n  {\r\n    *Name: \"Letter\"\r\n    *PrintableArea: PAIR(1624, 2030)\r\n"
         "    *PrintableOrigin: PAIR(0, 0)\r\n  }\r\n}\r\n";
}

}  // namespace

std::wstring TestPackages::MachineFile(const std::wstring& folder, const std::wstring& name) {
  if (!RealPackage(folder)) return {};
  // The module and the plug-in DLL become a resource DLL of the right
  // machine type that nothing loads: neither the GPD nor the .ini names them.
  static const std::map<std::wstring, std::wstring> kCore = {{L"UNIDRV.DLL", L"UNIDRV.DLL"},
                                                             {L"UNIDRVUI.DLL", L"UNIDRVUI.DLL"},
                                                             {L"UNIRES.DLL", L"UNIRES.DLL"},
                                                             {L"RKT4X.DLL", L"UNIRES.DLL"},
                                                             {L"RKUNI.DLL", L"UNIRES.DLL"}};
  const std::wstring upper = Upper(name);
  if (const auto core = kCore.find(upper); core != kCore.end()) return Machine().core + L"\\" + core->second;
  // Shared with the machine's other Unidrv drivers: never a placeholder in their place.
  if (upper == L"UNIDRV.HLP" || upper == L"TTFSUB.GPD" || upper == L"STDNAMES.GPD") {
    for (const std::wstring& place : Machine().looked) {
      if (FileExists(place + L"\\" + upper)) return place + L"\\" + upper;
    }
  }
  return {};
}

std::string TestPackages::NoRealDriver() {
  if (UnderWine() || !Machine().core.empty()) return {};
  std::string looked;
  for (const std::wstring& folder : Machine().looked) looked += (looked.empty() ? "" : ", ") + Utf8(folder);
  return "this Windows has no Unidrv (UNIDRV.DLL, UNIDRVUI.DLL, UNIRES.DLL) in " +
         (looked.empty() ? std::string("the driver store") : looked) + ", so no real driver can be installed";
}

TestPackages::TestPackages() { Create(Options{}); }

TestPackages::TestPackages(const Options& options) { Create(options); }

TestPackages::~TestPackages() {
  if (!root_.empty()) RemoveTree(root_);
}

void TestPackages::Create(const Options& options) {
  std::wstring temp(MAX_PATH + 1, L'\0');
  const DWORD length = GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
  if (length == 0 || length > temp.size()) throw std::runtime_error("GetTempPathW failed: " + LastErrorText());
  temp.resize(length);
  if (!temp.empty() && temp.back() == L'\\') temp.pop_back();

  // Names stay unique across the fresh prefixes too, where process ids repeat.
  for (unsigned attempt = 0;; ++attempt) {
    std::wstring candidate = temp + L"\\oriel-e2e-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                             std::to_wstring(GetTickCount()) + L"-" + std::to_wstring(attempt);
    if (CreateDirectoryW(candidate.c_str(), nullptr)) {
      root_ = candidate;
      break;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS || attempt > 100) {
      throw std::runtime_error("cannot create a folder under " + Utf8(temp) + ": " + LastErrorText());
    }
  }

  omitted_ = options.omit;
  for (const std::wstring& folder : Folders()) {
    MakeFolder(root_ + L"\\" + folder);
    for (const std::wstring& name : FileNames()) {
      if (Omitted(folder, name)) continue;
      std::string bytes = Contents(folder, name);
      for (const auto& [file, size] : options.grow) {
        if (!SameName(file.folder, folder) || !SameName(file.name, name)) continue;
        const std::string unit = bytes;
        while (bytes.size() < size) bytes += unit;
        bytes.resize(size);
      }
      WriteWholeFile(PathOf(folder, name), bytes);
    }
  }
}

std::wstring TestPackages::PathOf(const std::wstring& folder, const std::wstring& name) const {
  return root_ + L"\\" + folder + L"\\" + name;
}

bool TestPackages::Omitted(const std::wstring& folder, const std::wstring& name) const {
  for (const PackageFile& file : omitted_) {
    if (SameName(file.folder, folder) && SameName(file.name, name)) return true;
  }
  return false;
}

const std::vector<std::wstring>& TestPackages::Folders() {
  static const std::vector<std::wstring> folders = {L"win2k", L"x64"};
  return folders;
}

const std::vector<std::wstring>& TestPackages::FileNames() {
  static const std::vector<std::wstring> names = {
      L"RKT4X.DLL",      L"RKT410nocut.GPD", L"RKT410cut.GPD", L"RKT420nocut.GPD", L"RKT420cut.GPD",
      L"RKT430.GPD",     L"RKT430E.GPD",     L"RKMT430.GPD",   L"RKWT430.GPD",     L"V5YYK.GPD",
      L"RKT440.GPD",     L"RKKT410.GPD",     L"RKKT430.GPD",   L"RKKT440.GPD",     L"RKMT440.GPD",
      L"RKWT440.GPD",    L"uniDRVui.DLL",    L"uniDRV.DLL",    L"UNIDRV.HLP",      L"UNIRES.DLL",
      L"TTFSUB.GPD",     L"STDNAMES.GPD",    L"RKUNI.ini",     L"RKUNI.dll"};
  return names;
}

std::string TestPackages::Contents(const std::wstring& folder, const std::wstring& name) {
  if (RealPackage(folder)) {
    static std::map<std::wstring, std::string> cache;
    const std::wstring machine = MachineFile(folder, name);
    const std::wstring upper = Upper(name);
    if (!machine.empty()) {
      if (!cache.count(machine) && !ReadWholeFile(machine, &cache[machine])) {
        cache.erase(machine);
        throw std::runtime_error("cannot read " + Utf8(machine) + ": " + LastErrorText());
      }
      return cache[machine];
    }
    // An [OEMFiles] section without entries: Unidrv loads no plug-in.
    // https://learn.microsoft.com/en-us/windows-hardware/drivers/print/installing-customized-driver-components
    if (upper.size() > 4 && upper.substr(upper.size() - 4) == L".INI") return "[OEMFiles]\r\n";
    if (upper.size() > 4 && upper.substr(upper.size() - 4) == L".GPD" && upper != L"TTFSUB.GPD" &&
        upper != L"STDNAMES.GPD") {
      return Gpd(name);
    }
  }
  std::string bytes = "Oriel end-to-end test placeholder, not a printer driver.\r\nfolder=" + Utf8(folder) +
                      "\r\nfile=" + Utf8(name) + "\r\n";
  // A tail seeded by the text: NULs, CR/LF pairs and Ctrl-Z all occur, and
  // the length differs between files.
  std::uint32_t seed = 2166136261u;
  for (unsigned char c : bytes) seed = (seed ^ c) * 16777619u;
  const std::size_t tail = 200 + seed % 300;
  bytes.append("\0\r\n\x1A\xFF", 5);
  for (std::size_t i = 0; i < tail; ++i) {
    seed = seed * 1103515245u + 12345u;
    bytes.push_back(static_cast<char>(seed >> 16));
  }
  return bytes;
}

bool ReadWholeFile(const std::wstring& path, std::string* bytes) {
  bytes->clear();
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  char chunk[8192];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
      ok = false;
      break;
    }
    if (got == 0) break;
    bytes->append(chunk, got);
  }
  CloseHandle(file);
  return ok;
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace e2e
