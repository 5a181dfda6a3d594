#include "tests/e2e/test_package.h"

#include <windows.h>

#include <stdexcept>

#include "tests/e2e/ui_driver.h"

namespace e2e {
namespace {

bool SameName(const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) == 0; }

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

}  // namespace

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
