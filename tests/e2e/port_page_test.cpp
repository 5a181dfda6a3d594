// The port page: which row it preselects for the ports the spooler lists,
// how its list and progress bar are set up, the ways back to the settings
// page, and the buttons that must do nothing.
#include <algorithm>
#include <ostream>

#include "tests/e2e/oriel_fixture.h"
#include "tests/e2e/spooler_checks.h"

namespace e2e {
namespace {

constexpr int kListCapacity = 256;

const std::wstring kConfigureLptTitle = L"Configure LPT Port";

// Ports changed in the prefix before the program starts, and what the page
// should then preselect.
struct PortSetup {
  const char* name;
  std::vector<std::wstring> remove;
  std::vector<std::wstring> add;
  // The start of the spooler's own listing, as Wine orders it; the case
  // depends on that order.
  std::vector<std::wstring> listingStart;
  std::wstring selected;  // empty: no row selected
  int selectedRow = -1;
};

void PrintTo(const PortSetup& setup, std::ostream* os) { *os << setup.name; }

std::vector<std::wstring> Numbered(const std::wstring& prefix, int count) {
  std::vector<std::wstring> names;
  for (int i = 0; i < count; ++i) {
    std::wstring number = std::to_wstring(i);
    number.insert(0, 4 - number.size(), L'0');
    names.push_back(prefix + number + L":");
  }
  return names;
}

std::vector<std::wstring> Head(const std::vector<std::wstring>& names, std::size_t count) {
  return {names.begin(), names.begin() + static_cast<std::ptrdiff_t>(std::min(count, names.size()))};
}

std::vector<std::wstring> VisibleTitles(DWORD processId) {
  std::vector<std::wstring> titles;
  for (const WindowInfo& window : TopLevelWindows(processId)) {
    if (window.visible) titles.push_back(window.title);
  }
  std::sort(titles.begin(), titles.end());
  return titles;
}

// The rows, texts and selection of the port list.
struct ListState {
  std::vector<std::wstring> names;
  std::vector<int> selected;
  bool operator==(const ListState&) const = default;
};

void PrintTo(const ListState& s, std::ostream* os) {
  *os << s.names.size() << " rows, selected:";
  for (int row : s.selected) *os << " " << row;
}

ListState ReadList(HWND list) { return {ListViewColumnTexts(list), ListViewSelectedRows(list)}; }

int RowOf(HWND list, const std::wstring& name) {
  const std::vector<std::wstring> names = ListViewColumnTexts(list);
  const auto found = std::find(names.begin(), names.end(), name);
  return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

void ExpectPreselected(HWND list, int row, const std::wstring& name) {
  ASSERT_GE(row, 0) << "no row " << Utf8(name);
  EXPECT_EQ(ListViewSelectedRows(list), std::vector<int>{row}) << "expected " << Utf8(name) << " at row " << row;
  EXPECT_EQ(ListViewState(list, row) & LVIS_FOCUSED, 0u) << "the preselected row is focused";
}

const std::vector<std::wstring> kWinePorts = {L"COM1:", L"COM2:", L"COM3:", L"COM4:",
                                              L"FILE:", L"LPT1:", L"LPT2:", L"LPT3:"};

class PortPage : public OrielUiTest, public ::testing::WithParamInterface<PortSetup> {
protected:
  HWND OpenPage() { return OpenPortPage(OpenSettingsPage()); }
};

TEST_P(PortPage, PreselectsForSpoolerPorts) {
  const PortSetup& setup = GetParam();
  // Windows' spooler lists the ports in an order of its own.
  if (const std::vector<std::wstring> ports = SpoolerPortNames(); !UnderWine() && Head(ports, 8) != kWinePorts) {
    GTEST_SKIP() << "built on Wine's port order; this spooler lists " << Utf8(ports.empty() ? L"none" : ports[0])
                 << " first";
  }
  RemovePorts(setup.remove);
  AddPorts(setup.add);
  const std::vector<std::wstring> spooler = SpoolerPortNames();
  ASSERT_EQ(Head(spooler, setup.listingStart.size()), setup.listingStart) << "Wine lists the ports in another order";

  Launch();
  HWND page = OpenPage();
  HWND list = Control(page, IDC_PORT_LIST);
  const std::vector<std::wstring> rows = ListViewColumnTexts(list);
  EXPECT_EQ(rows, Head(spooler, kListCapacity)) << "the spooler lists " << spooler.size() << " ports";
  if (setup.selected.empty()) {
    EXPECT_TRUE(ListViewSelectedRows(list).empty());
  } else {
    ASSERT_LT(setup.selectedRow, static_cast<int>(rows.size()));
    EXPECT_EQ(rows[static_cast<std::size_t>(setup.selectedRow)], setup.selected);
    ExpectPreselected(list, setup.selectedRow, setup.selected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Ports, PortPage,
    ::testing::Values(
        PortSetup{"WineDefaults", {}, {}, kWinePorts, L"LPT1:", 5},
        PortSetup{"NoLpt1TakesCom1", {L"LPT1:"}, {}, {L"COM1:", L"COM2:"}, L"COM1:", 0},
        // Both begin with COM1; Wine lists COM10: first, so COM1: is the last match.
        PortSetup{"Com10ThenCom1", {L"LPT1:"}, {L"COM10:"}, {L"COM10:", L"COM1:", L"COM2:"}, L"COM1:", 1},
        PortSetup{"LastOfThreeCom1", {L"LPT1:"}, {L"COM10:", L"COM1Z:"}, {L"COM10:", L"COM1:", L"COM1Z:"},
                  L"COM1Z:", 2},
        // The name is compared case-sensitively, so lpt1: loses to COM1:.
        PortSetup{"LowerCaseLpt1IsNoCandidate",
                  {L"LPT1:"},
                  {L"lpt1:"},
                  {L"COM1:", L"COM2:", L"COM3:", L"COM4:", L"FILE:", L"lpt1:"},
                  L"COM1:",
                  0},
        PortSetup{"FileWhenNoLpt1NorCom1", {L"LPT1:", L"COM1:"}, {}, {L"COM2:", L"COM3:", L"COM4:", L"FILE:"},
                  L"FILE:", 3},
        PortSetup{"NoCandidateNoSelection", {L"LPT1:", L"COM1:", L"FILE:"}, {}, {L"COM2:"}, L"", -1},
        PortSetup{"ThreeHundredMoreListsFirst256", {}, Numbered(L"PORT", 300), kWinePorts, L"LPT1:", 5},
        // 300 ports sort ahead of COM1:, FILE: and LPT1:, which then lie beyond
        // the 256 listed and are no candidates.
        PortSetup{"CandidatesBeyond256AreIgnored", {}, Numbered(L"COM0", 300), {L"COM00000:", L"COM00001:"}, L"",
                  -1}),
    [](const ::testing::TestParamInfo<PortSetup>& param) { return std::string(param.param.name); });

TEST_F(PortPage, ListColumnsStyleAndProgress) {
  Launch();
  HWND page = OpenPage();
  HWND list = Control(page, IDC_PORT_LIST);
  ASSERT_EQ(ListViewColumnCount(list), 2);
  EXPECT_EQ(ListViewColumnTitle(list, 0), L"Port");
  EXPECT_EQ(ListViewColumnTitle(list, 1), L"Type");
  EXPECT_EQ(ListViewColumnWidth(list, 0), 150);
  EXPECT_EQ(ListViewColumnWidth(list, 1), 280);
  const DWORD style = ListViewExtendedStyle(list);
  EXPECT_EQ(style & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT), DWORD{LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT})
      << std::hex << style;
  EXPECT_EQ(style & LVS_EX_TRACKSELECT, 0u) << std::hex << style;

  std::vector<std::wstring> descriptions;
  for (const PortRecord& port : SpoolerPorts()) descriptions.push_back(port.description);
  EXPECT_EQ(ListViewColumnTexts(list, 1), descriptions);

  HWND progress = Control(page, IDC_PORT_PROGRESS);
  EXPECT_EQ(SendWithTimeout(progress, PBM_GETRANGE, TRUE), 0);
  EXPECT_EQ(SendWithTimeout(progress, PBM_GETRANGE, FALSE), 100);
  EXPECT_EQ(SendWithTimeout(progress, PBM_GETPOS), 0);
  EXPECT_EQ(FocusedWindow(page), list) << "focus on " << Describe(FocusedWindow(page));
  Screenshot(L"port-page", page);
}

// At 200 % the dialogs grow with their font; the widths the pages set in
// pixels (150 and 280, 340 for the monitors at 96 DPI) must grow with them.
// Wine gives a DPI-aware program the LogPixels of the user's desktop.
TEST_F(PortPage, ColumnsScaleWithTheDpi) {
  if (WindowsHost()) GTEST_SKIP() << "Windows takes a new LogPixels at the next sign-in, Wine at the next start";
  WriteRegistryDword(HKEY_CURRENT_USER, L"Control Panel\\Desktop", L"LogPixels", 192);
  Launch();
  HWND page = OpenPage();
  HWND list = Control(page, IDC_PORT_LIST);
  EXPECT_EQ(ListViewColumnWidth(list, 0), 300);
  EXPECT_EQ(ListViewColumnWidth(list, 1), 560);
  RECT client{};
  ASSERT_TRUE(GetClientRect(list, &client));
  EXPECT_LE(300 + 560, client.right) << "the columns run past the list";
  Screenshot(L"port-page-192dpi", page);

  Click(Control(page, IDC_PORT_CREATE));
  HWND dialog = WaitCreatePort();
  HWND monitors = Control(dialog, IDC_CP_MONITORS);
  EXPECT_EQ(ListViewColumnWidth(monitors, 0), 680);
  ASSERT_TRUE(GetClientRect(monitors, &client));
  EXPECT_LE(680, client.right) << "the column runs past the list";
  Screenshot(L"create-port-192dpi", dialog);
  Click(Control(dialog, IDC_CP_CLOSE));
  WaitForWindowGone(dialog, L"Create Port");
}

// Back, Cancel, Escape and the close box all return to the settings page as
// the user left it, and the next Next builds the port page anew.
TEST_F(PortPage, EveryWayBackKeepsSettingsAndRebuildsPage) {
  Launch();
  HWND settings = OpenSettingsPage();
  SelectComboItem(settings, IDC_SET_MODEL, 7);
  const std::wstring printerName = Text(Control(settings, IDC_SET_NAME));

  const struct {
    const char* way;
    void (*leave)(HWND page);
  } ways[] = {
      {"Back", [](HWND page) { Click(Control(page, IDC_PORT_BACK)); }},
      {"Cancel", [](HWND page) { Click(Control(page, IDC_PORT_CANCEL)); }},
      {"Escape", [](HWND page) { PressEscape(page); }},
      {"close box", [](HWND page) { PressCloseBox(page); }},
  };
  HWND previous = nullptr;
  for (const auto& way : ways) {
    SCOPED_TRACE(way.way);
    Click(Control(settings, IDC_SET_NEXT));
    HWND page = WaitPortPage(previous);
    HWND list = Control(page, IDC_PORT_LIST);
    ExpectPreselected(list, RowOf(list, L"LPT1:"), L"LPT1:");
    EXPECT_EQ(SendWithTimeout(Control(page, IDC_PORT_PROGRESS), PBM_GETPOS), 0);
    ListViewSelectRow(list, RowOf(list, L"COM3:"));  // the user's pick, to be forgotten

    way.leave(page);
    WaitForWindowGone(page, kPortPageTitle);
    ASSERT_TRUE(IsWindow(settings)) << "the settings page closed";
    EXPECT_TRUE(IsVisible(settings));
    EXPECT_EQ(ComboSelection(Control(settings, IDC_SET_MODEL)), 7);
    EXPECT_EQ(Text(Control(settings, IDC_SET_NAME)), printerName);
    EXPECT_EQ(CheckState(Control(settings, IDC_SET_DEFAULT)), BST_CHECKED);
    EXPECT_TRUE(App().Running());
    previous = page;
  }
}

TEST_F(PortPage, EnterInListDoesNothing) {
  Launch();
  HWND page = OpenPage();
  HWND list = Control(page, IDC_PORT_LIST);
  ListViewSelectRow(list, 1);
  const ListState before = ReadList(list);
  const std::vector<std::wstring> windows = VisibleTitles(App().Id());
  FocusControl(page, list);
  PressEnter(page);
  WaitForPostedInput(list);

  EXPECT_TRUE(IsWindow(page));
  EXPECT_EQ(VisibleTitles(App().Id()), windows) << DescribeWindows(App().Id());
  EXPECT_EQ(ReadList(list), before);
  EXPECT_EQ(SendWithTimeout(Control(page, IDC_PORT_PROGRESS), PBM_GETPOS), 0) << "an installation ran";
  EXPECT_TRUE(SpoolerDriversNamed(CurrentTarget().environment, L"RK-T410(Cut) Series").empty()) << "Enter installed the driver";
}

TEST_F(PortPage, ConfigureLpt1ShowsMonitorDialog) {
  Launch();
  HWND page = OpenPage();
  HWND list = Control(page, IDC_PORT_LIST);
  const ListState before = ReadList(list);
  ASSERT_EQ(before.selected, std::vector<int>{RowOf(list, L"LPT1:")});
  Click(Control(page, IDC_PORT_CONFIGURE));
  HWND configure = WaitForWindow(App(), kConfigureLptTitle);
  EXPECT_TRUE(IsWindow(page));
  PressMessageBoxButton(configure, IDCANCEL);
  WaitForWindowGone(configure, kConfigureLptTitle);
  ASSERT_TRUE(IsWindow(page));
  EXPECT_EQ(ReadList(list), before);
}

TEST_F(PortPage, ConfigureWithoutSelectionDoesNothing) {
  Launch();
  HWND page = OpenPage();
  HWND list = Control(page, IDC_PORT_LIST);
  ListViewClearSelection(list);
  const ListState before = ReadList(list);
  const std::vector<std::wstring> windows = VisibleTitles(App().Id());
  Click(Control(page, IDC_PORT_CONFIGURE));
  WaitForPostedInput(list);
  EXPECT_EQ(VisibleTitles(App().Id()), windows) << DescribeWindows(App().Id());
  EXPECT_EQ(ReadList(list), before);
}

}  // namespace
}  // namespace e2e
