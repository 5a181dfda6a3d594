// The five dialogs as built from their templates: titles, window styles,
// every control in tab order with its id, kind, text, visibility and enabled
// state, and where the focus starts. Each dialog also leaves a screenshot.
#include <ostream>

#include "tests/e2e/oriel_fixture.h"

namespace e2e {
namespace {

enum class Kind { GroupBox, Radio, CheckBox, PushButton, DefPushButton, Label, Icon, DropDownList, Edit, ListView, Progress, Trackbar };

const char* KindName(Kind kind) {
  switch (kind) {
    case Kind::GroupBox: return "group box";
    case Kind::Radio: return "auto radio button";
    case Kind::CheckBox: return "auto check box";
    case Kind::PushButton: return "push button";
    case Kind::DefPushButton: return "default push button";
    case Kind::Label: return "label";
    case Kind::Icon: return "icon";
    case Kind::DropDownList: return "drop-down list";
    case Kind::Edit: return "edit box";
    case Kind::ListView: return "list view";
    case Kind::Progress: return "progress bar";
    case Kind::Trackbar: return "trackbar";
  }
  return "?";
}

struct Expected {
  int id;
  Kind kind;
  const wchar_t* text;  // nullptr: not compared (an icon), L"*": any non-empty text
  bool shown = true;
  bool enabled = true;
};

bool IsClass(HWND window, const wchar_t* name) { return lstrcmpiW(ClassName(window).c_str(), name) == 0; }

// Empty when the control is of the kind, else what is wrong.
std::string KindMismatch(HWND control, Kind kind) {
  const LONG style = Style(control);
  const LONG exStyle = ExStyle(control);
  const LONG buttonType = style & BS_TYPEMASK;
  const bool tabStop = (style & WS_TABSTOP) != 0;
  const bool bordered = (style & WS_BORDER) || (exStyle & (WS_EX_CLIENTEDGE | WS_EX_STATICEDGE));
  switch (kind) {
    case Kind::GroupBox:
      if (!IsClass(control, L"Button") || buttonType != BS_GROUPBOX) return "not a group box";
      return {};
    case Kind::Radio:
      if (!IsClass(control, L"Button") || buttonType != BS_AUTORADIOBUTTON) return "not an auto radio button";
      // A checked radio button gets a tab stop from the button itself.
      if (tabStop && CheckState(control) != BST_CHECKED) return "has a tab stop";
      return {};
    case Kind::CheckBox:
      if (!IsClass(control, L"Button") || buttonType != BS_AUTOCHECKBOX) return "not an auto check box";
      if (!tabStop) return "no tab stop";
      return {};
    case Kind::PushButton:
      // The dialog manager marks a focused push button as the default one.
      if (!IsClass(control, L"Button") || (buttonType != BS_PUSHBUTTON && buttonType != BS_DEFPUSHBUTTON)) {
        return "not a push button";
      }
      if (!tabStop) return "no tab stop";
      return {};
    case Kind::DefPushButton:
      if (!IsClass(control, L"Button") || buttonType != BS_DEFPUSHBUTTON) return "not a default push button";
      if (!tabStop) return "no tab stop";
      return {};
    case Kind::Label:
      if (!IsClass(control, L"Static") || (style & SS_TYPEMASK) != SS_LEFT) return "not a left-aligned label";
      return {};
    case Kind::Icon:
      if (!IsClass(control, L"Static") || (style & SS_TYPEMASK) != SS_ICON) return "not an icon";
      if (!SendWithTimeout(control, STM_GETICON)) return "shows no icon";
      return {};
    case Kind::DropDownList:
      if (!IsClass(control, L"ComboBox") || (style & 3) != CBS_DROPDOWNLIST) return "not a drop-down list";
      // The combo hands WS_VSCROLL on to its list and clears it on itself.
      if (style & CBS_SORT) return "sorted";
      if (!tabStop) return "no tab stop";
      return {};
    case Kind::Edit:
      if (!IsClass(control, L"Edit")) return "not an edit box";
      if (!(style & ES_READONLY)) return "not read-only";
      if (!(style & ES_AUTOHSCROLL)) return "no automatic horizontal scrolling";
      if (!bordered) return "no border";
      if (!tabStop) return "no tab stop";
      return {};
    case Kind::ListView:
      if (!IsClass(control, L"SysListView32") || (style & LVS_TYPEMASK) != LVS_REPORT) return "not a report list view";
      if (!(style & LVS_SINGLESEL)) return "not single selection";
      if (style & (LVS_SORTASCENDING | LVS_SORTDESCENDING)) return "sorted";
      if (!bordered) return "no border";
      if (!tabStop) return "no tab stop";
      return {};
    case Kind::Progress:
      if (!IsClass(control, L"msctls_progress32")) return "not a progress bar";
      // Its border is the control's own business: themed bars drop it.
      if (style & (PBS_VERTICAL | PBS_SMOOTH)) return "not a standard horizontal bar";
      return {};
    case Kind::Trackbar:
      if (!IsClass(control, L"msctls_trackbar32")) return "not a trackbar";
      if (!(style & TBS_BOTH)) return "no ticks on both sides";
      return {};
  }
  return "unknown kind";
}

// Compares the dialog's direct children, in tab order, with the table.
void ExpectControls(HWND dialog, const std::vector<Expected>& expected) {
  const std::vector<HWND> children = ChildWindows(dialog);
  std::string present;
  for (HWND child : children) present += "\n  " + Describe(child);
  ASSERT_EQ(children.size(), expected.size()) << "controls of " << Utf8(WindowTitle(dialog)) << ":" << present;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Expected& want = expected[i];
    HWND control = children[i];
    SCOPED_TRACE("control #" + std::to_string(i + 1) + " (" + Describe(control) + ")");
    EXPECT_EQ(ControlId(control), want.id);
    EXPECT_EQ(KindMismatch(control, want.kind), "") << "expected a " << KindName(want.kind);
    if (want.text && std::wstring(want.text) == L"*") {
      EXPECT_FALSE(Text(control).empty());
    } else if (want.text) {
      EXPECT_EQ(Text(control), want.text);
    }
    EXPECT_EQ(IsShown(control), want.shown) << "visibility";
    EXPECT_EQ(IsEnabled(control), want.enabled) << "enabled state";
  }
}

void ExpectDialogFrame(HWND dialog, const std::wstring& title) {
  EXPECT_EQ(WindowTitle(dialog), title);
  const LONG style = Style(dialog);
  EXPECT_TRUE(style & WS_POPUP) << "not a pop-up window";
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION) << "no caption";
  EXPECT_TRUE(style & WS_SYSMENU) << "no system menu";
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX)) << "has a minimise or maximise box";
  EXPECT_FALSE(style & WS_THICKFRAME) << "resizable";
  EXPECT_TRUE(HasExStyle(dialog, WS_EX_DLGMODALFRAME)) << "no modal frame";
}

class Templates : public OrielUiTest {};

TEST_F(Templates, OsPage) {
  ORIEL_SKIP_UNLESS_SHOWN(L"win7");
  Launch(L"win7");
  HWND page = WaitOsPage();
  ExpectDialogFrame(page, kOsPageTitle);
  ExpectControls(page, {
                           {-1, Kind::GroupBox, L"Select OS"},
                           {IDC_OS_VISTA, Kind::Radio, L"Windows Vista"},
                           {IDC_OS_WIN95, Kind::Radio, L"Windows 95", false},
                           {IDC_OS_WIN98, Kind::Radio, L"Windows 98", false},
                           {IDC_OS_NT4, Kind::Radio, L"Windows NT4.0", false},
                           {IDC_OS_WIN2000, Kind::Radio, L"Windows 2000"},
                           {IDC_OS_WINXP, Kind::Radio, L"Windows XP"},
                           {IDC_OS_WIN2003, Kind::Radio, L"Windows 2003"},
                           {IDC_OS_SLIDER, Kind::Trackbar, L"Slider1", false},
                           {IDC_OS_BACK, Kind::PushButton, L"< &Back", false, false},
                           {IDC_OS_NEXT, Kind::PushButton, L"&Next >"},
                           {IDC_OS_EXIT, Kind::PushButton, L"&Exit"},
                           {IDC_OS_WIN7, Kind::Radio, L"Windows 7"},
                           {IDC_OS_WIN8, Kind::Radio, L"Windows 8"},
                           {-1, Kind::Label, L"This Driver is suitable for Windows x86 and x64 OS."},
                       });
  EXPECT_TRUE(Style(Control(page, IDC_OS_SLIDER)) & TBS_NOTICKS) << "the OS page's trackbar has tick marks";
  // One group from the group box to the closing label.
  const std::vector<HWND> children = ChildWindows(page);
  ASSERT_FALSE(children.empty());
  EXPECT_TRUE(Style(children.front()) & WS_GROUP);
  EXPECT_TRUE(Style(children.back()) & WS_GROUP);
  for (int id : OsRadioIds()) EXPECT_FALSE(Style(Control(page, id)) & WS_GROUP) << "radio button " << id;
  // With Windows 7 marked after Next in tab order, the first tab stop is Next.
  EXPECT_EQ(FocusedWindow(page), Control(page, IDC_OS_NEXT)) << "focus on " << Describe(FocusedWindow(page));
  Screenshot(L"os-page", page);
}

TEST_F(Templates, SettingsPage) {
  Launch();
  HWND page = OpenSettingsPage();
  ExpectDialogFrame(page, kSettingsPageTitle);
  EXPECT_TRUE(HasExStyle(page, WS_EX_APPWINDOW)) << "the settings page has no task-bar button style";
  ExpectControls(page, {
                           {IDC_SET_MODEL, Kind::DropDownList, nullptr},
                           {-1, Kind::GroupBox, L"Printer Setting"},
                           {-1, Kind::GroupBox, L"打印机端口设置", false},
                           {-1, Kind::Label, L"Install Module"},
                           {IDC_SET_DEFAULT, Kind::CheckBox, L"Set Default Printer"},
                           {-1, Kind::Label, L"Printer Name"},
                           {IDC_SET_NAME, Kind::Edit, nullptr},
                           {IDC_SET_PORT, Kind::DropDownList, nullptr, false},
                           {IDC_SET_BAUD, Kind::DropDownList, nullptr, false, false},
                           {IDC_SET_DATABITS, Kind::DropDownList, nullptr, false, false},
                           {IDC_SET_FLOW, Kind::DropDownList, nullptr, false, false},
                           {IDC_SET_PARITY, Kind::DropDownList, nullptr, false, false},
                           {IDC_SET_STOPBITS, Kind::DropDownList, nullptr, false, false},
                           {-1, Kind::Label, L"端口", false},
                           {-1, Kind::Label, L"波特率", false},
                           {-1, Kind::Label, L"字节长度", false},
                           {-1, Kind::Label, L"停止位", false},
                           {-1, Kind::Label, L"校验位", false},
                           {-1, Kind::Label, L"流控制", false},
                           {IDC_SET_BACK, Kind::PushButton, L"< &Back"},
                           {IDC_SET_NEXT, Kind::PushButton, L"&Next >"},
                           {IDC_SET_EXIT, Kind::PushButton, L"&Exit"},
                           {-1, Kind::Label, L"This Driver is suitable for Windows x86 and x64 OS."},
                       });
  EXPECT_EQ(FocusedWindow(page), Control(page, IDC_SET_MODEL)) << "focus on " << Describe(FocusedWindow(page));
  Screenshot(L"settings-page", page);
}

TEST_F(Templates, PortPage) {
  Launch();
  HWND page = OpenPortPage(OpenSettingsPage());
  ExpectDialogFrame(page, kPortPageTitle);
  ExpectControls(page, {
                           {-1, Kind::Label, L"Specify Port "},
                           {IDC_PORT_LIST, Kind::ListView, L"List1"},
                           {IDC_PORT_CREATE, Kind::PushButton, L"Create Port..."},
                           {IDC_PORT_CONFIGURE, Kind::PushButton, L"Configure Port..."},
                           {IDC_PORT_BACK, Kind::PushButton, L"< &Back"},
                           {IDC_PORT_INSTALL, Kind::PushButton, L"&Install"},
                           {IDC_PORT_CANCEL, Kind::PushButton, L"&Cancel"},
                           {IDC_PORT_SLIDER, Kind::Trackbar, L"Slider1", false},
                           {IDC_PORT_PROGRESS, Kind::Progress, L"Progress1"},
                           {-1, Kind::Label, L"A port is used to connect a printer to the computer."},
                           {-1, Kind::Label,
                            L"Specify the port that you are using.If you are connecting using TCP/IP or "},
                           {-1, Kind::Label, L"another port type not listed below,creat a new port."},
                           {-1, Kind::Label, L"This Driver is suitable for Windows x86 and x64 OS."},
                       });
  EXPECT_TRUE(Style(Control(page, IDC_PORT_LIST)) & LVS_SHOWSELALWAYS) << "the port list hides its selection";
  HWND slider = Control(page, IDC_PORT_SLIDER);
  EXPECT_TRUE(Style(slider) & WS_TABSTOP) << "the port page's trackbar has no tab stop";
  EXPECT_TRUE(ExStyle(slider) & WS_EX_CLIENTEDGE) << "the port page's trackbar has no sunken edge";
  EXPECT_EQ(FocusedWindow(page), Control(page, IDC_PORT_LIST)) << "focus on " << Describe(FocusedWindow(page));
  Screenshot(L"port-page", page);
}

TEST_F(Templates, CreatePortDialog) {
  Launch();
  HWND portPage = OpenPortPage(OpenSettingsPage());
  Click(Control(portPage, IDC_PORT_CREATE));
  HWND dialog = WaitCreatePort();
  ExpectDialogFrame(dialog, kCreatePortTitle);
  ExpectControls(dialog, {
                             {IDC_CP_MONITORS, Kind::ListView, L"List1"},
                             {IDC_CP_NEW_PORT, Kind::PushButton, L"New Port..."},
                             {IDC_CP_CLOSE, Kind::PushButton, L"Close"},
                         });
  EXPECT_EQ(FocusedWindow(dialog), Control(dialog, IDC_CP_MONITORS)) << "focus on " << Describe(FocusedWindow(dialog));
  Screenshot(L"create-port", dialog);
}

TEST_F(Templates, AboutBox) {
  Launch();
  HWND settings = OpenSettingsPage();
  PostSysCommand(settings, IDM_ABOUT_BOX);
  HWND about = WaitAboutBox();
  ExpectDialogFrame(about, kAboutBoxTitle);
  ExpectControls(about, {
                            {-1, Kind::Icon, nullptr},
                            {-1, Kind::Label, L"Oriel 4.0 版"},
                            {-1, Kind::Label, L"*"},
                            {IDOK, Kind::DefPushButton, L"确定"},
                        });
  const std::vector<HWND> children = ChildWindows(about);
  ASSERT_GE(children.size(), 2u);
  EXPECT_TRUE(Style(children[1]) & SS_NOPREFIX) << "an ampersand in the version line would be a mnemonic";
  EXPECT_EQ(FocusedWindow(about), Control(about, IDOK)) << "focus on " << Describe(FocusedWindow(about));
  Screenshot(L"about-box", about);
}

}  // namespace
}  // namespace e2e
