// The fixture every end-to-end case builds on: a fresh package folder, the
// reported Windows version, Oriel.exe started there, and the ways to reach
// each page. The program is killed on teardown if it still runs; a failed
// case leaves a screenshot named after it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/spooler_checks.h"
#include "tests/e2e/test_package.h"
#include "tests/e2e/ui_driver.h"

namespace e2e {

// The program's own window titles and message-box caption.
inline const std::wstring kOsPageTitle = L"Select OS (x86/x64)";
inline const std::wstring kSettingsPageTitle = L"Detail Setting (x86/x64)";
inline const std::wstring kPortPageTitle = L"Select Port (x86/x64)";
inline const std::wstring kCreatePortTitle = L"Create Port";
inline const std::wstring kAboutBoxTitle = L"关于 Oriel";
inline const std::wstring kMessageCaption = L"Oriel";

// Wine's own default; the cases name it so they do not depend on the prefix.
inline const std::wstring kDefaultWindowsVersion = L"win7";

// Exit statuses of Oriel.exe.
constexpr DWORD kStatusInstalled = 0;
constexpr DWORD kStatusNotInstalled = 1;
constexpr DWORD kStatusInstallFailed = 2;
constexpr DWORD kStatusInstalledWithoutSettings = 3;

// The nine radio buttons of the OS page, in template order.
const std::vector<int>& OsRadioIds();
// The five serial lists of the settings page: baud, data bits, stop bits,
// parity, flow control.
const std::vector<int>& SerialListIds();

// Why Oriel cannot be shown `version` here: on a Windows host only the
// host's own version is there (Launch takes kDefaultWindowsVersion for it);
// Wine's AppDefaults stage the others under the Linux harness. Empty when it can.
std::string CannotShowVersion(const std::wstring& version);

#define ORIEL_SKIP_UNLESS_SHOWN(version) \
  if (const std::string why_ = CannotShowVersion(version); !why_.empty()) GTEST_SKIP() << why_
// Why a printer cannot be added on the run's driver here; empty when it can.
std::string CannotInstall();

#define ORIEL_SKIP_UNLESS_INSTALLABLE() \
  if (const std::string why_ = CannotInstall(); !why_.empty()) GTEST_SKIP() << why_

class OrielTest : public ::testing::Test {
protected:
  // On a Windows host (ORIEL_E2E_HOST=windows) the case's traces are
  // recorded first and removed at the end, after Oriel has been ended.
  OrielTest();
  ~OrielTest() override;
  void TearDown() override;

  // Sets the Windows version Wine reports to the program, makes the package
  // folder and starts Oriel.exe in it. copyExe starts a copy that lies in
  // the folder, as users keep it, so that no package beside the build's exe
  // can stand in for it.
  void Launch(const std::wstring& windowsVersion = kDefaultWindowsVersion,
              const TestPackages::Options& packageOptions = {}, bool copyExe = false);

  HWND WaitOsPage(HWND notThis = nullptr) { return WaitForWindow(app_, kOsPageTitle, kWindowTimeoutMs, notThis); }
  HWND WaitSettingsPage(HWND notThis = nullptr) {
    return WaitForWindow(app_, kSettingsPageTitle, kWindowTimeoutMs, notThis);
  }
  HWND WaitPortPage(HWND notThis = nullptr) { return WaitForWindow(app_, kPortPageTitle, kWindowTimeoutMs, notThis); }
  HWND WaitCreatePort() { return WaitForWindow(app_, kCreatePortTitle); }
  HWND WaitAboutBox() { return WaitForWindow(app_, kAboutBoxTitle); }

  // From a launched program: Next on the OS page, then the settings page.
  HWND OpenSettingsPage();
  // Next on the settings page, then the port page.
  HWND OpenPortPage(HWND settingsPage);

  // Waits for the program to end and returns its exit status; fails at once
  // when one of `failIfShown` appears instead.
  DWORD WaitForExit(const std::vector<std::wstring>& failIfShown = {});

  // A screenshot named <arch>-<name>; a failure to take it fails the case.
  void Screenshot(const std::wstring& name, HWND window = nullptr);

  OrielProcess& App() { return app_; }
  TestPackages& Packages() { return *packages_; }

private:
  std::unique_ptr<MachineSnapshot> snapshot_;  // first: it is put back last
  std::unique_ptr<TestPackages> packages_;
  OrielProcess app_;  // after packages_: it ends before the folder goes
};

// Cases of the page suites: each run target runs them (which of them, the
// build's CMakeLists.txt says).
class OrielUiTest : public OrielTest {
protected:
  void SetUp() override;
};

// Expects exactly `markedId` of the nine OS radio buttons checked (none
// when markedId is 0).
void ExpectOnlyMarked(HWND osPage, int markedId);

}  // namespace e2e
