// The page sequence: which action leads where, and how the program ends.
#include <windows.h>
#include <winspool.h>

#include "tests/e2e/oriel_fixture.h"
#include "tests/e2e/spooler_checks.h"

namespace e2e {
namespace {

class Spine : public OrielUiTest {};

TEST_F(Spine, ExitOnOsPageEndsAtOnce) {
  Launch();
  HWND osPage = WaitOsPage();
  Click(Control(osPage, IDC_OS_EXIT));
  EXPECT_EQ(WaitForExit({kSettingsPageTitle}), kStatusNotInstalled);
}

TEST_F(Spine, EscapeOnOsPageEnds) {
  Launch();
  PressEscape(WaitOsPage());
  EXPECT_EQ(WaitForExit({kSettingsPageTitle}), kStatusNotInstalled);
}

TEST_F(Spine, CloseBoxOnOsPageEnds) {
  Launch();
  PressCloseBox(WaitOsPage());
  EXPECT_EQ(WaitForExit({kSettingsPageTitle}), kStatusNotInstalled);
}

TEST_F(Spine, NextOnOsPageShowsSettingsPage) {
  Launch();
  HWND osPage = WaitOsPage();
  Click(Control(osPage, IDC_OS_NEXT));
  HWND settings = WaitSettingsPage();
  EXPECT_TRUE(IsVisible(settings));
  EXPECT_FALSE(IsWindow(osPage)) << "the OS page stays open under the settings page";
  EXPECT_TRUE(App().Running());
}

TEST_F(Spine, EnterWithoutFocusedPushButtonActsAsNext) {
  ORIEL_SKIP_UNLESS_SHOWN(L"win7");
  Launch(L"win7");
  HWND osPage = WaitOsPage();
  // The marked radio button: focusing it sends no click of its own, and no
  // push button has the focus then.
  HWND radio = Control(osPage, IDC_OS_WIN7);
  ASSERT_EQ(CheckState(radio), BST_CHECKED);
  FocusControl(osPage, radio);
  PressEnter(osPage);
  WaitSettingsPage();
}

TEST_F(Spine, EnterWithExitFocusedPressesExit) {
  Launch();
  HWND osPage = WaitOsPage();
  FocusControl(osPage, Control(osPage, IDC_OS_EXIT));
  PressEnter(osPage);
  EXPECT_EQ(WaitForExit({kSettingsPageTitle}), kStatusNotInstalled);
}

TEST_F(Spine, BackOnSettingsShowsOsPageAgain) {
  ORIEL_SKIP_UNLESS_SHOWN(L"win7");
  Launch(L"win7");
  HWND firstOsPage = WaitOsPage();
  ExpectOnlyMarked(firstOsPage, IDC_OS_WIN7);
  Click(Control(firstOsPage, IDC_OS_NEXT));
  HWND settings = WaitSettingsPage();
  Click(Control(settings, IDC_SET_BACK));
  HWND secondOsPage = WaitOsPage(firstOsPage);
  WaitForWindowGone(settings, kSettingsPageTitle);
  EXPECT_TRUE(FindWindowsOf(App().Id(), kSettingsPageTitle).empty());
  ExpectOnlyMarked(secondOsPage, IDC_OS_WIN7);
  // And the sequence goes on from there.
  Click(Control(secondOsPage, IDC_OS_NEXT));
  WaitSettingsPage(settings);
}

TEST_F(Spine, ExitOnSettingsPageEnds) {
  Launch();
  HWND settings = OpenSettingsPage();
  Click(Control(settings, IDC_SET_EXIT));
  EXPECT_EQ(WaitForExit({kOsPageTitle, kPortPageTitle}), kStatusNotInstalled);
}

TEST_F(Spine, EscapeOnSettingsPageEnds) {
  Launch();
  PressEscape(OpenSettingsPage());
  EXPECT_EQ(WaitForExit({kOsPageTitle, kPortPageTitle}), kStatusNotInstalled);
}

TEST_F(Spine, CloseBoxOnSettingsPageEnds) {
  Launch();
  PressCloseBox(OpenSettingsPage());
  EXPECT_EQ(WaitForExit({kOsPageTitle, kPortPageTitle}), kStatusNotInstalled);
}

TEST_F(Spine, EnterInModelListEndsWithoutInstalling) {
  Launch();
  HWND settings = OpenSettingsPage();
  FocusControl(settings, Control(settings, IDC_SET_MODEL));
  PressEnter(settings);
  EXPECT_EQ(WaitForExit({kOsPageTitle, kPortPageTitle}), kStatusNotInstalled);
}

// Every case starts from a state no other case has touched. The first of
// this pair leaves a driver, a printer, a registry value and a file behind;
// the second, run next, may find none: the harness resets the prefix, and on
// a Windows host the fixture removes them (in either order nothing is left).
const std::wstring kTraceName = L"Oriel isolation trace";
const std::wstring kTraceKey = L"Software\\Oriel isolation trace";
const std::wstring kTraceFile = L"isolation-trace.txt";

bool TraceFileExists() {
  const std::wstring path = DriverDirectory(CurrentTarget().environment) + L"\\" + kTraceFile;
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

TEST_F(Spine, IsolationLeavesTracesForTheNextCase) {
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  const std::wstring& environment = CurrentTarget().environment;
  RegisterTestDriver(environment, kTraceName);
  PRINTER_INFO_2W printer{};
  printer.pPrinterName = const_cast<LPWSTR>(kTraceName.c_str());
  printer.pPortName = const_cast<LPWSTR>(L"FILE:");
  printer.pDriverName = const_cast<LPWSTR>(kTraceName.c_str());
  printer.pPrintProcessor = const_cast<LPWSTR>(L"WinPrint");
  printer.pDatatype = const_cast<LPWSTR>(L"RAW");
  HANDLE added = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
  ASSERT_NE(added, nullptr) << "AddPrinterW: " << LastErrorText();
  ClosePrinter(added);
  WriteRegistryText(HKEY_CURRENT_USER, kTraceKey, kTraceName, L"left by the previous case");
  const std::wstring path = DriverDirectory(environment) + L"\\" + kTraceFile;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << Utf8(path) << ": " << LastErrorText();
  CloseHandle(file);

  EXPECT_EQ(SpoolerDriversNamed(environment, kTraceName).size(), 1u);
  EXPECT_TRUE(SpoolerPrinter(kTraceName).has_value());
  EXPECT_TRUE(ReadRegistryText(HKEY_CURRENT_USER, kTraceKey, kTraceName).has_value());
  EXPECT_TRUE(TraceFileExists());
}

TEST_F(Spine, IsolationFindsNoTraceOfThePreviousCase) {
  EXPECT_TRUE(SpoolerDriversNamed(CurrentTarget().environment, kTraceName).empty());
  EXPECT_FALSE(SpoolerPrinter(kTraceName).has_value());
  EXPECT_TRUE(SpoolerPrintersNamed(kTraceName).empty());
  EXPECT_FALSE(ReadRegistryText(HKEY_CURRENT_USER, kTraceKey, kTraceName).has_value());
  EXPECT_FALSE(TraceFileExists());
}

}  // namespace
}  // namespace e2e
