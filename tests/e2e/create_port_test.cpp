// The port creation dialog: the spooler's monitors, a new port added through
// Wine's local monitor, and the port page's list rebuilt after every close.
#include <algorithm>

#include "tests/e2e/oriel_fixture.h"
#include "tests/e2e/spooler_checks.h"

namespace e2e {
namespace {

// The local monitor's dialog: Wine's, or Windows' own (localui).
const std::wstring kAddLocalPortTitle = UnderWine() ? L"Add a Local Port" : L"Port Name";

int RowOf(HWND list, const std::wstring& name) {
  const std::vector<std::wstring> names = ListViewColumnTexts(list);
  return static_cast<int>(std::find(names.begin(), names.end(), name) - names.begin());
}

struct Header {
  std::vector<std::wstring> titles;
  std::vector<int> widths;
  bool operator==(const Header&) const = default;
};

Header ReadHeader(HWND list) {
  Header header;
  for (int column = 0; column < ListViewColumnCount(list); ++column) {
    header.titles.push_back(ListViewColumnTitle(list, column));
    header.widths.push_back(ListViewColumnWidth(list, column));
  }
  return header;
}

HWND EditBoxOf(HWND dialog) {
  for (HWND child : ChildWindows(dialog)) {
    if (lstrcmpiW(ClassName(child).c_str(), L"Edit") == 0) return child;
  }
  return nullptr;
}

class CreatePort : public OrielUiTest {
protected:
  // The port page with COM3: picked by the user, so that a rebuild shows.
  HWND OpenPortPageWithCom3() {
    HWND page = OpenPortPage(OpenSettingsPage());
    HWND list = Control(page, IDC_PORT_LIST);
    ListViewSelectRow(list, RowOf(list, L"COM3:"));
    header_ = ReadHeader(list);
    return page;
  }

  HWND OpenDialog(HWND page) {
    Click(Control(page, IDC_PORT_CREATE));
    return WaitCreatePort();
  }

  // After the dialog has closed: the list as the spooler has it now, the
  // preselection applied again, the rest of the page untouched.
  void ExpectRebuilt(HWND page) {
    HWND list = Control(page, IDC_PORT_LIST);
    EXPECT_EQ(ListViewColumnTexts(list), SpoolerPortNames());
    const int lpt1 = RowOf(list, L"LPT1:");
    EXPECT_EQ(ListViewSelectedRows(list), std::vector<int>{lpt1}) << "the user's COM3: should be forgotten";
    EXPECT_EQ(ListViewState(list, lpt1) & LVIS_FOCUSED, 0u);
    EXPECT_TRUE(ReadHeader(list) == header_) << "columns changed";
    EXPECT_EQ(SendWithTimeout(Control(page, IDC_PORT_PROGRESS), PBM_GETPOS), 0);
    EXPECT_EQ(SendWithTimeout(Control(page, IDC_PORT_PROGRESS), PBM_GETRANGE, FALSE), 100);
  }

  Header header_;
};

TEST_F(CreatePort, ListsMonitorsAndCloseRebuildsPortList) {
  Launch();
  HWND page = OpenPortPageWithCom3();
  HWND dialog = OpenDialog(page);
  HWND monitors = Control(dialog, IDC_CP_MONITORS);
  const std::vector<std::wstring> rows = ListViewColumnTexts(monitors);
  EXPECT_EQ(rows, SpoolerMonitorNames());
  EXPECT_NE(std::find(rows.begin(), rows.end(), L"Local Port"), rows.end()) << "no \"Local Port\"";
  EXPECT_EQ(ListViewSelectedRows(monitors), std::vector<int>{0});
  ASSERT_EQ(ListViewColumnCount(monitors), 1);
  EXPECT_EQ(ListViewColumnTitle(monitors, 0), L"Available Port Type");
  EXPECT_EQ(ListViewColumnWidth(monitors, 0), 340);
  const DWORD style = ListViewExtendedStyle(monitors);
  EXPECT_EQ(style & (LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_TRACKSELECT),
            DWORD{LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT})
      << std::hex << style;
  Screenshot(L"create-port", dialog);

  Click(Control(dialog, IDC_CP_CLOSE));
  WaitForWindowGone(dialog, kCreatePortTitle);
  ASSERT_TRUE(IsWindow(page));
  ExpectRebuilt(page);
}

TEST_F(CreatePort, NewLocalPortAppearsOnPortPage) {
  const std::wstring name = L"ORIELTEST1:";
  Launch();
  HWND page = OpenPortPageWithCom3();
  HWND dialog = OpenDialog(page);
  HWND monitors = Control(dialog, IDC_CP_MONITORS);
  const std::vector<std::wstring> rows = ListViewColumnTexts(monitors);
  const auto local = std::find(rows.begin(), rows.end(), L"Local Port");
  ASSERT_NE(local, rows.end());
  ListViewSelectRow(monitors, static_cast<int>(local - rows.begin()));

  Click(Control(dialog, IDC_CP_NEW_PORT));
  HWND add = WaitForWindow(App(), kAddLocalPortTitle);
  HWND edit = EditBoxOf(add);
  ASSERT_TRUE(edit) << "no edit box in " << Describe(add);
  SendWithTimeout(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
  ASSERT_EQ(Text(edit), name);
  PressMessageBoxButton(add, IDOK);
  WaitForWindowGone(add, kAddLocalPortTitle);

  ASSERT_TRUE(IsWindow(dialog)) << "the dialog closed with the monitor's";
  EXPECT_EQ(ListViewColumnTexts(monitors), rows) << "the monitor list changed";
  const std::vector<std::wstring> ports = SpoolerPortNames();
  ASSERT_NE(std::find(ports.begin(), ports.end(), name), ports.end()) << "the spooler does not list the new port";

  Click(Control(dialog, IDC_CP_CLOSE));
  WaitForWindowGone(dialog, kCreatePortTitle);
  ExpectRebuilt(page);
  const std::vector<std::wstring> listed = ListViewColumnTexts(Control(page, IDC_PORT_LIST));
  EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end());
}

TEST_F(CreatePort, NewPortWithoutSelectionDoesNothing) {
  Launch();
  HWND page = OpenPortPageWithCom3();
  HWND dialog = OpenDialog(page);
  HWND monitors = Control(dialog, IDC_CP_MONITORS);
  ListViewClearSelection(monitors);
  const std::size_t windows = TopLevelWindows(App().Id()).size();
  const std::vector<std::wstring> ports = SpoolerPortNames();
  Click(Control(dialog, IDC_CP_NEW_PORT));
  WaitForPostedInput(monitors);
  EXPECT_FALSE(FindWindowOf(App().Id(), kAddLocalPortTitle)) << DescribeWindows(App().Id());
  EXPECT_EQ(TopLevelWindows(App().Id()).size(), windows) << DescribeWindows(App().Id());
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_TRUE(ListViewSelectedRows(monitors).empty());
  EXPECT_EQ(SpoolerPortNames(), ports);
}

TEST_F(CreatePort, EscapeClosesAndListIsEnumeratedAgain) {
  Launch();
  HWND page = OpenPortPageWithCom3();
  HWND dialog = OpenDialog(page);
  // A port that turns up while the dialog is open shows only if the page
  // asks the spooler again.
  AddPorts({L"ORIELLATE:"});
  PressEscape(dialog);
  WaitForWindowGone(dialog, kCreatePortTitle);
  ASSERT_TRUE(IsWindow(page));
  ExpectRebuilt(page);
  const std::vector<std::wstring> listed = ListViewColumnTexts(Control(page, IDC_PORT_LIST));
  EXPECT_NE(std::find(listed.begin(), listed.end(), L"ORIELLATE:"), listed.end());
}

}  // namespace
}  // namespace e2e
