// Operating-system detection as the OS page shows it, for each version Wine
// can report.
#include <algorithm>

#include "tests/e2e/oriel_fixture.h"

namespace e2e {
namespace {

struct VersionCase {
  const wchar_t* version;  // Wine's AppDefaults name
  int markedId;            // the one radio button checked
};

void PrintTo(const VersionCase& c, std::ostream* os) { *os << Utf8(c.version) << " -> " << c.markedId; }

class OsPage : public OrielUiTest, public ::testing::WithParamInterface<VersionCase> {};

const std::vector<int> kHiddenRadios = {IDC_OS_WIN95, IDC_OS_WIN98, IDC_OS_NT4};

TEST_P(OsPage, MarksTheDetectedSystemOnly) {
  ORIEL_SKIP_UNLESS_SHOWN(GetParam().version);
  Launch(GetParam().version);
  HWND page = WaitOsPage();
  ExpectOnlyMarked(page, GetParam().markedId);
  for (int id : OsRadioIds()) {
    const bool hidden = std::find(kHiddenRadios.begin(), kHiddenRadios.end(), id) != kHiddenRadios.end();
    EXPECT_EQ(IsShown(Control(page, id)), !hidden) << "radio button " << id;
  }
}

INSTANTIATE_TEST_SUITE_P(Versions, OsPage,
                         ::testing::Values(VersionCase{L"win95", IDC_OS_WIN95}, VersionCase{L"win98", IDC_OS_WIN98},
                                           VersionCase{L"winme", IDC_OS_WIN98}, VersionCase{L"nt40", IDC_OS_NT4},
                                           VersionCase{L"win2k", IDC_OS_WIN2000},
                                           VersionCase{L"winxp", IDC_OS_WINXP},
                                           VersionCase{L"win2003", IDC_OS_WIN2003},
                                           VersionCase{L"vista", IDC_OS_VISTA}, VersionCase{L"win7", IDC_OS_WIN7},
                                           VersionCase{L"win8", IDC_OS_WIN8}, VersionCase{L"win10", IDC_OS_WIN8}),
                         [](const ::testing::TestParamInfo<VersionCase>& param) { return Utf8(param.param.version); });

TEST_F(OsPage, SameButtonMarkedAfterBackFromSettings) {
  ORIEL_SKIP_UNLESS_SHOWN(L"winxp");
  Launch(L"winxp");
  HWND first = WaitOsPage();
  ExpectOnlyMarked(first, IDC_OS_WINXP);
  // A different mark by the user must not carry over: detection runs again.
  Click(Control(first, IDC_OS_WIN2000));
  ASSERT_TRUE(WaitUntil([&] { return CheckState(Control(first, IDC_OS_WIN2000)) == BST_CHECKED; }))
      << "clicking Windows 2000 did not mark it";
  Click(Control(first, IDC_OS_NEXT));
  HWND settings = WaitSettingsPage();
  Click(Control(settings, IDC_SET_BACK));
  HWND second = WaitOsPage(first);
  ExpectOnlyMarked(second, IDC_OS_WINXP);
}

TEST_F(OsPage, BackButtonDoesNothing) {
  Launch();
  HWND page = WaitOsPage();
  HWND back = Control(page, IDC_OS_BACK);
  EXPECT_FALSE(IsShown(back));
  EXPECT_FALSE(IsEnabled(back));
  // Its command, then a click whose effect shows: posted in this order, the
  // command has been handled once the click has.
  PostCommand(page, IDC_OS_BACK);
  Click(Control(page, IDC_OS_WIN2000));
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(page) || CheckState(Control(page, IDC_OS_WIN2000)) == BST_CHECKED; }));
  EXPECT_TRUE(IsWindow(page)) << "the Back command closed the OS page";
  EXPECT_TRUE(App().Running());
}

}  // namespace
}  // namespace e2e
