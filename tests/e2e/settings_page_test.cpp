// The settings page: its initial state, the model and port choices, the
// About box, and how the page ends.
#include <ostream>
#include <set>

#include "tests/e2e/oriel_fixture.h"
#include "tests/e2e/spooler_checks.h"

namespace e2e {
namespace {

// What the user can change on the page, read from its controls.
struct PageState {
  int model = -1;
  int modelCount = -1;
  int setDefault = -1;
  std::wstring printerName;
  int port = -1;
  std::vector<int> serial;
  std::vector<bool> serialEnabled;
  bool operator==(const PageState&) const = default;
};

void PrintTo(const PageState& s, std::ostream* os) {
  *os << "{model " << s.model << " of " << s.modelCount << ", default " << s.setDefault << ", name \""
      << Utf8(s.printerName) << "\", port " << s.port << ", serial";
  for (std::size_t i = 0; i < s.serial.size(); ++i) *os << " " << s.serial[i] << (s.serialEnabled[i] ? "" : "(off)");
  *os << "}";
}

PageState ReadState(HWND page) {
  PageState s;
  s.model = ComboSelection(Control(page, IDC_SET_MODEL));
  s.modelCount = ComboCount(Control(page, IDC_SET_MODEL));
  s.setDefault = CheckState(Control(page, IDC_SET_DEFAULT));
  s.printerName = Text(Control(page, IDC_SET_NAME));
  s.port = ComboSelection(Control(page, IDC_SET_PORT));
  for (int id : SerialListIds()) {
    s.serial.push_back(ComboSelection(Control(page, id)));
    s.serialEnabled.push_back(IsEnabled(Control(page, id)));
  }
  return s;
}

bool IsPrintableAscii(const std::wstring& text) {
  for (wchar_t c : text) {
    if (c < 0x20 || c > 0x7E) return false;
  }
  return true;
}

void ExpectSerialListsEnabled(HWND page, bool enabled) {
  for (int id : SerialListIds()) {
    EXPECT_EQ(IsEnabled(Control(page, id)), enabled) << "serial list " << id;
  }
  EXPECT_TRUE(IsEnabled(Control(page, IDC_SET_PORT))) << "the LPT/COM list is never disabled";
}

void ExpectInitialState(HWND page) {
  HWND models = Control(page, IDC_SET_MODEL);
  const std::vector<std::wstring> names = ComboItems(models);
  ASSERT_EQ(names.size(), 15u) << "the model list holds the fifteen catalogue names, not the template's entries";
  std::set<std::wstring> distinct;
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_FALSE(names[i].empty()) << "model " << i;
    EXPECT_TRUE(IsPrintableAscii(names[i])) << "model " << i << ": " << Utf8(names[i]);
    distinct.insert(names[i]);
  }
  EXPECT_EQ(distinct.size(), names.size()) << "model names repeat";
  EXPECT_EQ(ComboSelection(models), 1);

  EXPECT_EQ(CheckState(Control(page, IDC_SET_DEFAULT)), BST_CHECKED);

  const std::wstring printerName = Text(Control(page, IDC_SET_NAME));
  EXPECT_FALSE(printerName.empty());
  EXPECT_EQ(printerName, names[1]) << "the box opens on the selected model's name";

  struct SerialList {
    int id;
    std::vector<std::wstring> items;
    int selected;
  };
  const std::vector<SerialList> lists = {
      {IDC_SET_PORT, {L"LPT1", L"LPT2", L"LPT3", L"COM1", L"COM2", L"COM3", L"COM4"}, 0},
      {IDC_SET_BAUD, {L"300", L"1200", L"2400", L"4800", L"9600", L"19200", L"38400", L"57600", L"115200"}, 5},
      {IDC_SET_DATABITS, {L"5", L"6", L"7", L"8"}, 3},
      {IDC_SET_STOPBITS, {L"1", L"1.5", L"2"}, 0},
      {IDC_SET_PARITY, {L"Even", L"Mark", L"None", L"Odd", L"Space"}, 2},
      {IDC_SET_FLOW, {L"None", L"XonXoff", L"Hardware"}, 2},
  };
  for (const SerialList& list : lists) {
    HWND combo = Control(page, list.id);
    EXPECT_EQ(ComboItems(combo), list.items) << "items of list " << list.id;
    EXPECT_EQ(ComboSelection(combo), list.selected) << "selection of list " << list.id;
    EXPECT_FALSE(IsShown(combo)) << "list " << list.id << " is part of the hidden port section";
  }
  ExpectSerialListsEnabled(page, false);
}

class SettingsPage : public OrielUiTest {};

TEST_F(SettingsPage, FreshPageInitialState) {
  Launch();
  HWND page = OpenSettingsPage();
  ExpectInitialState(page);
}

TEST_F(SettingsPage, PrinterNameBoxIsReadOnly) {
  Launch();
  HWND page = OpenSettingsPage();
  HWND box = Control(page, IDC_SET_NAME);
  EXPECT_TRUE(HasStyle(box, ES_READONLY));
  const std::wstring before = Text(box);
  FocusControl(page, box);
  TypeChars(box, L"typed\b\b");
  EXPECT_EQ(Text(box), before);
}

TEST_F(SettingsPage, ModelChoiceShowsItsName) {
  Launch();
  HWND page = OpenSettingsPage();
  HWND models = Control(page, IDC_SET_MODEL);
  HWND box = Control(page, IDC_SET_NAME);
  const std::vector<std::wstring> names = ComboItems(models);
  ASSERT_EQ(names.size(), 15u);

  SelectComboItem(page, IDC_SET_MODEL, 3);
  EXPECT_EQ(Text(box), names[3]);
  for (int row = 0; row < 15; ++row) {
    SelectComboItem(page, IDC_SET_MODEL, row);
    EXPECT_EQ(Text(box), names[static_cast<std::size_t>(row)]) << "after choosing row " << row;
  }
  // Back to the first selection: the row's own name again.
  SelectComboItem(page, IDC_SET_MODEL, 1);
  EXPECT_EQ(Text(box), names[1]);
  EXPECT_EQ(ComboItems(models), names) << "choosing rows changed the list";
}

TEST_F(SettingsPage, ComPortEnablesSerialLists) {
  Launch();
  HWND page = OpenSettingsPage();
  const PageState initial = ReadState(page);
  const struct {
    int port;
    bool enabled;
  } steps[] = {{3, true}, {2, false}, {6, true}, {4, true}, {0, false}, {1, false}};
  for (const auto& step : steps) {
    SelectComboItem(page, IDC_SET_PORT, step.port);
    SCOPED_TRACE("port index " + std::to_string(step.port));
    ExpectSerialListsEnabled(page, step.enabled);
  }
  PageState after = ReadState(page);
  EXPECT_EQ(after.serial, initial.serial) << "switching ports changed the serial selections";
  EXPECT_EQ(after.printerName, initial.printerName);
}

TEST_F(SettingsPage, AboutBoxForItsSystemCommands) {
  Launch();
  HWND page = OpenSettingsPage();
  SelectComboItem(page, IDC_SET_MODEL, 4);
  const PageState before = ReadState(page);

  for (WPARAM command : {WPARAM{16}, WPARAM{31}}) {
    SCOPED_TRACE("system command " + std::to_string(command));
    PostSysCommand(page, command);
    HWND about = WaitAboutBox();
    bool versionLine = false;
    for (HWND child : ChildWindows(about)) versionLine = versionLine || Text(child) == L"Oriel 4.0 版";
    EXPECT_TRUE(versionLine) << "no \"Oriel 4.0 版\" line in the About box";
    EXPECT_EQ(Text(Control(about, IDOK)), L"确定");
    EXPECT_EQ(FindWindowsOf(App().Id(), kAboutBoxTitle).size(), 1u);
    if (command == 16) {
      Screenshot(L"about-box", about);
      PressEscape(about);
    } else {
      Click(Control(about, IDOK));
    }
    WaitForWindowGone(about, kAboutBoxTitle);
    ASSERT_TRUE(IsWindow(page)) << "closing the About box closed the settings page";
    EXPECT_EQ(ReadState(page), before);
  }
}

TEST_F(SettingsPage, OtherSystemCommandsShowNoAboutBox) {
  Launch();
  HWND page = OpenSettingsPage();
  // The commands, then a port change whose effect shows. Posted in this
  // order, the commands have been handled (and any About box they opened
  // exists) once the serial lists are enabled.
  SendWithTimeout(Control(page, IDC_SET_PORT), CB_SETCURSEL, 3);
  PostSysCommand(page, 32);
  PostSysCommand(page, 15);
  PostSysCommand(page, 0x30);
  PostCommand(page, IDC_SET_PORT, CBN_SELCHANGE);
  ASSERT_TRUE(WaitUntil([&] { return IsEnabled(Control(page, IDC_SET_BAUD)); }))
      << "the port change posted after the system commands was not handled";
  EXPECT_TRUE(FindWindowsOf(App().Id(), kAboutBoxTitle).empty()) << DescribeWindows(App().Id());
  EXPECT_TRUE(IsWindow(page));
}

TEST_F(SettingsPage, EscapeEndsWizardInsteadOfGoingBack) {
  Launch();
  HWND page = OpenSettingsPage();
  SelectComboItem(page, IDC_SET_MODEL, 7);
  FocusControl(page, Control(page, IDC_SET_DEFAULT));
  PressEscape(page);
  EXPECT_EQ(WaitForExit({kOsPageTitle, kPortPageTitle}), kStatusNotInstalled);
}

TEST_F(SettingsPage, BackThenNextGivesFreshPage) {
  Launch();
  HWND first = OpenSettingsPage();
  SelectComboItem(first, IDC_SET_MODEL, 5);
  Click(Control(first, IDC_SET_DEFAULT));
  ASSERT_TRUE(WaitUntil([&] { return CheckState(Control(first, IDC_SET_DEFAULT)) == BST_UNCHECKED; }))
      << "clicking Set Default Printer did not clear it";
  SelectComboItem(first, IDC_SET_PORT, 3);
  SelectComboItem(first, IDC_SET_BAUD, 8);
  SelectComboItem(first, IDC_SET_PARITY, 0);

  Click(Control(first, IDC_SET_BACK));
  HWND osPage = WaitOsPage();
  WaitForWindowGone(first, kSettingsPageTitle);
  Click(Control(osPage, IDC_OS_NEXT));
  HWND second = WaitSettingsPage(first);
  ExpectInitialState(second);
}

TEST_F(SettingsPage, SelectionsKeptAcrossPortPage) {
  Launch();
  HWND page = OpenSettingsPage();
  SelectComboItem(page, IDC_SET_MODEL, 9);
  Click(Control(page, IDC_SET_DEFAULT));
  ASSERT_TRUE(WaitUntil([&] { return CheckState(Control(page, IDC_SET_DEFAULT)) == BST_UNCHECKED; }));
  SelectComboItem(page, IDC_SET_PORT, 4);
  SelectComboItem(page, IDC_SET_STOPBITS, 2);
  const PageState chosen = ReadState(page);

  HWND portPage = OpenPortPage(page);
  Click(Control(portPage, IDC_PORT_BACK));
  WaitForWindowGone(portPage, kPortPageTitle);
  ASSERT_TRUE(IsWindow(page));
  EXPECT_EQ(ReadState(page), chosen) << "after Back on the port page";

  HWND secondPortPage = OpenPortPage(page);
  Click(Control(secondPortPage, IDC_PORT_CANCEL));
  WaitForWindowGone(secondPortPage, kPortPageTitle);
  ASSERT_TRUE(IsWindow(page));
  EXPECT_EQ(ReadState(page), chosen) << "after Cancel on the port page";
  EXPECT_TRUE(App().Running());
}

// The caption shows the small icon, Alt+Tab the big one: each an image of
// its own size for the window's DPI (32 and 16 pixels at 96), not one image
// shrunk. scripts/e2e_case_setup.sh takes these cases out of the virtual
// desktop, so that the page is an X window with the icons Wine gave it.
class CaptionIcons : public OrielUiTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(CaptionIcons, SizedForTheWindowsDpi) {
  const std::wstring setup = GetEnv(L"ORIEL_CASE_SETUP");
  if (setup != L"no virtual desktop") {
    GTEST_SKIP() << (WindowsHost()  ? "needs Wine's X windows outside its virtual desktop (the icons X holds)"
                     : setup.empty() ? "scripts/e2e_case_setup.sh did not run for this case"
                                     : Utf8(setup));
  }
  const int dpi = static_cast<int>(GetParam());
  WriteRegistryDword(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", GetParam());
  Launch();
  OpenSettingsPage();
  const int big = 32 * dpi / 96, small = 16 * dpi / 96;
  EXPECT_EQ(XWindowIconSizes(kSettingsPageTitle), (std::vector<std::pair<int, int>>{{big, big}, {small, small}}));
}

INSTANTIATE_TEST_SUITE_P(SettingsPage, CaptionIcons, ::testing::Values(DWORD{96}, DWORD{192}),
                         [](const ::testing::TestParamInfo<DWORD>& param) {
                           return "Dpi" + std::to_string(param.param);
                         });

}  // namespace
}  // namespace e2e
