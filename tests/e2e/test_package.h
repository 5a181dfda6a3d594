// A throw-away working folder holding placeholder `win2k` and `x64` driver
// packages. Every file has its own contents (folder and name in the text,
// then bytes that text-mode copying would mangle), so a copy can be traced
// back to exactly one source file.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

struct PackageFile {
  std::wstring folder;  // L"win2k" or L"x64"
  std::wstring name;    // as the installer spells it, e.g. L"RKT4X.DLL"
};

class TestPackages {
public:
  struct Options {
    // Files not to write, e.g. {L"win2k", L"RKUNI.dll"}.
    std::vector<PackageFile> omit;
    // Files made this many bytes long (their contents repeated), e.g. to fill a disk.
    std::vector<std::pair<PackageFile, std::size_t>> grow;
  };

  // Creates the folder under the temporary directory; throws on failure.
  TestPackages();
  explicit TestPackages(const Options& options);
  ~TestPackages();  // removes the folder and everything in it
  TestPackages(const TestPackages&) = delete;
  TestPackages& operator=(const TestPackages&) = delete;

  // The working folder (Oriel.exe's current directory), no trailing backslash.
  const std::wstring& Root() const { return root_; }
  std::wstring PathOf(const std::wstring& folder, const std::wstring& name) const;

  // The package folder names and the files each holds, in install order.
  static const std::vector<std::wstring>& Folders();
  static const std::vector<std::wstring>& FileNames();
  // The bytes written for a file (also for an omitted one).
  static std::string Contents(const std::wstring& folder, const std::wstring& name);
  // Windows loads the driver it registers, so there the package of the run's
  // own environment is a real one: the machine's Unidrv files, a GPD of ours
  // for each model and a plug-in .ini that names no plug-in. Empty where the
  // files are placeholders (under Wine, and in the other package folder).
  static std::wstring MachineFile(const std::wstring& folder, const std::wstring& name);
  // Why a case that needs a real driver cannot run here; empty when it can.
  static std::string NoRealDriver();

  bool Omitted(const std::wstring& folder, const std::wstring& name) const;

private:
  void Create(const Options& options);

  std::wstring root_;
  std::vector<PackageFile> omitted_;
};

// Whole-file helpers for comparing copies.
bool ReadWholeFile(const std::wstring& path, std::string* bytes);
bool FileExists(const std::wstring& path);

}  // namespace e2e
