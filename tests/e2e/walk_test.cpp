// One walk through the wizard for people to look at (`make run` without a
// display): every page and dialog saved as a numbered PNG. It checks little;
// the other suites do the checking.
#include <iostream>

#include "tests/e2e/oriel_fixture.h"

namespace e2e {
namespace {

class Walk : public OrielTest {
protected:
  // ORIEL_PACKAGE names a folder that already holds the packages (the demo
  // layout); without it the case makes its own test packages.
  void LaunchForWalk(const std::wstring& windowsVersion = kDefaultWindowsVersion) {
    const std::wstring package = GetEnv(L"ORIEL_PACKAGE");
    if (package.empty()) {
      Launch(windowsVersion);
      return;
    }
    const std::wstring exe = OrielExePath();
    SetReportedWindowsVersion(ExeFileName(exe), windowsVersion);
    App().Start(exe, package);
  }

  static void Shot(const std::wstring& name, HWND window) {
    const std::wstring path = SaveScreenshot(name, window);
    if (!path.empty()) std::cout << "walk: " << Utf8(path) << std::endl;
  }
};

TEST_F(Walk, ThroughEveryPage) {
  LaunchForWalk();
  HWND osPage = WaitOsPage();
  Shot(L"1-os-page", osPage);

  Click(Control(osPage, IDC_OS_NEXT));
  HWND settings = WaitSettingsPage();
  Shot(L"2-settings-page", settings);

  PostSysCommand(settings, IDM_ABOUT_BOX);
  HWND about = WaitAboutBox();
  Shot(L"3-about-box", about);
  Click(Control(about, IDOK));
  WaitForWindowGone(about, kAboutBoxTitle);

  Click(Control(settings, IDC_SET_NEXT));
  HWND portPage = WaitPortPage();
  Shot(L"4-port-page", portPage);

  Click(Control(portPage, IDC_PORT_CREATE));
  HWND createPort = WaitCreatePort();
  Shot(L"5-create-port", createPort);
  Click(Control(createPort, IDC_CP_CLOSE));
  WaitForWindowGone(createPort, kCreatePortTitle);

  Click(Control(portPage, IDC_PORT_INSTALL));
  HWND box = WaitForMessageBox(App());
  Shot(L"6-completed", box);
  const std::wstring message = MessageBoxText(box);
  PressMessageBoxButton(box);
  EXPECT_EQ(message, L"Completed!");
  std::cout << "walk: Oriel.exe ended with status " << WaitForExit() << std::endl;
}

// Windows 10 and later manage the default printer unless told otherwise:
// Wine's win10 reports 10.0, and its prefix has no LegacyDefaultPrinterMode.
// No keeps Windows' management as it was.
TEST_F(Walk, DefaultPrinterQuestion) {
  LaunchForWalk(L"win10");
  Click(Control(WaitOsPage(), IDC_OS_NEXT));
  Click(Control(WaitSettingsPage(), IDC_SET_NEXT));
  Click(Control(WaitPortPage(), IDC_PORT_INSTALL));
  HWND question = WaitForMessageBox(App());
  Shot(L"9-default-printer-question", question);
  PressMessageBoxButton(question, IDNO);
  WaitForWindowGone(question, L"question");
  HWND box = WaitForMessageBox(App());
  PressMessageBoxButton(box);
  WaitForExit();
}

// What a user sees when the maker's package is incomplete.
TEST_F(Walk, FailedInstallation) {
  TestPackages::Options options;
  options.omit = {{CurrentTarget().packageFolder, L"UNIDRV.HLP"}};
  Launch(kDefaultWindowsVersion, options, true);
  Click(Control(WaitOsPage(), IDC_OS_NEXT));
  Click(Control(WaitSettingsPage(), IDC_SET_NEXT));
  Click(Control(WaitPortPage(), IDC_PORT_INSTALL));
  HWND box = WaitForMessageBox(App());
  Shot(L"7-error-message", box);
  PressMessageBoxButton(box);
  EXPECT_EQ(WaitForExit(), kStatusInstallFailed);
}

}  // namespace
}  // namespace e2e
