// The page sequence: which action leads where, and how the program ends.
#include "tests/e2e/oriel_fixture.h"

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

}  // namespace
}  // namespace e2e
