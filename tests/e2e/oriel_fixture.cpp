#include "tests/e2e/oriel_fixture.h"

#include <exception>
#include <map>

namespace e2e {

const std::vector<int>& OsRadioIds() {
  static const std::vector<int> ids = {IDC_OS_VISTA, IDC_OS_WIN95,  IDC_OS_WIN98, IDC_OS_NT4, IDC_OS_WIN2000,
                                       IDC_OS_WINXP, IDC_OS_WIN2003, IDC_OS_WIN7,  IDC_OS_WIN8};
  return ids;
}

const std::vector<int>& SerialListIds() {
  static const std::vector<int> ids = {IDC_SET_BAUD, IDC_SET_DATABITS, IDC_SET_STOPBITS, IDC_SET_PARITY,
                                       IDC_SET_FLOW};
  return ids;
}

std::string CannotShowVersion(const std::wstring& version) {
  if (!WindowsHost()) return {};
  static const std::map<std::wstring, std::pair<DWORD, DWORD>> kVersions = {
      {L"win2k", {5, 0}}, {L"winxp", {5, 1}}, {L"win2003", {5, 2}}, {L"vista", {6, 0}},
      {L"win7", {6, 1}},  {L"win8", {6, 2}},  {L"win81", {6, 3}},   {L"win10", {10, 0}}};
  const std::pair<DWORD, DWORD> host = HostVersion();
  const auto wanted = kVersions.find(version);
  if (wanted != kVersions.end() && wanted->second == host) return {};
  return "needs Oriel to see Windows \"" + Utf8(version) + "\", which only the Linux harness stages (Wine's "
         "AppDefaults Version); this host is " + std::to_string(host.first) + "." + std::to_string(host.second);
}

std::string CannotInstall() {
  if (UnderWine() && CurrentTarget().wow64) {
    return "Wine 8 refuses AddPrinterA for the x64 driver from a 32-bit process (87); Windows' spooler accepts it";
  }
  return TestPackages::NoRealDriver();
}

OrielTest::OrielTest() {
  if (!WindowsHost()) return;
  snapshot_ = std::make_unique<MachineSnapshot>();
  // A case meets no question about Windows managing the default printer,
  // as on Windows 7, unless it asks for that itself.
  if (!UnderWine() && HostVersion().first >= 10) {
    WriteRegistryDword(HKEY_CURRENT_USER, kWindowsKey, L"LegacyDefaultPrinterMode", 1);
  }
}

OrielTest::~OrielTest() {
  if (!snapshot_) return;
  app_.Kill();
  packages_.reset();
  try {
    for (const std::string& problem : snapshot_->Restore()) ADD_FAILURE() << "isolation: " << problem;
  } catch (const std::exception& e) {
    ADD_FAILURE() << "isolation: " << e.what();
  }
}

void OrielTest::TearDown() {
  if (HasFailure() && app_.Running()) {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    try {
      // Drawn out first: the failure may come right after a page appeared.
      HWND shown = nullptr;
      for (const WindowInfo& window : TopLevelWindows(app_.Id())) {
        if (window.visible) shown = window.hwnd;
      }
      Screenshot(L"FAILED-" + Wide(info->test_suite_name()) + L"." + Wide(info->name()), shown);
    } catch (const std::exception&) {
      // The failure itself is what matters.
    }
  }
  app_.Kill();
}

void OrielTest::Launch(const std::wstring& windowsVersion, const TestPackages::Options& packageOptions,
                       bool copyExe) {
  std::wstring exe = OrielExePath();
  if (!WindowsHost()) {
    SetReportedWindowsVersion(ExeFileName(exe), windowsVersion);
  } else if (const std::string why = CannotShowVersion(windowsVersion);
             !why.empty() && windowsVersion != kDefaultWindowsVersion) {
    throw std::runtime_error("the case " + why + ", and did not skip");
  }
  packages_ = std::make_unique<TestPackages>(packageOptions);
  if (copyExe) {
    const std::wstring copy = packages_->Root() + L"\\" + ExeFileName(exe);
    if (!CopyFileW(exe.c_str(), copy.c_str(), TRUE)) throw std::runtime_error("cannot copy Oriel.exe: " + LastErrorText());
    exe = copy;
  }
  app_.Start(exe, packages_->Root());
}

HWND OrielTest::OpenSettingsPage() {
  HWND osPage = WaitOsPage();
  Click(Control(osPage, IDC_OS_NEXT));
  return WaitSettingsPage();
}

HWND OrielTest::OpenPortPage(HWND settingsPage) {
  Click(Control(settingsPage, IDC_SET_NEXT));
  return WaitPortPage();
}

DWORD OrielTest::WaitForExit(const std::vector<std::wstring>& failIfShown) {
  return app_.WaitForExit(kExitTimeoutMs, failIfShown);
}

void OrielTest::Screenshot(const std::wstring& name, HWND window) {
  try {
    SaveScreenshot(CurrentTarget().name + L"-" + name, window);
  } catch (const std::exception& e) {
    ADD_FAILURE() << "screenshot " << Utf8(name) << ": " << e.what();
  }
}

void OrielUiTest::SetUp() {}

void ExpectOnlyMarked(HWND osPage, int markedId) {
  for (int id : OsRadioIds()) {
    EXPECT_EQ(CheckState(Control(osPage, id)), id == markedId ? BST_CHECKED : BST_UNCHECKED)
        << "radio button " << id << " (" << Utf8(Text(Control(osPage, id))) << ")";
  }
}

}  // namespace e2e
