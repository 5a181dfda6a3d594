// Driving another process's dialogs from the outside: finding windows,
// reading controls, clicking and typing the way the dialog manager sees a
// user do it. Everything that can wait has a timeout; a failure throws
// std::runtime_error with a message that names what was looked for and what
// was there instead (GoogleTest reports it as the test's failure).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// Wine under load is slow; these bound waits, they are not expectations.
constexpr DWORD kWindowTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 30000;
constexpr DWORD kMessageTimeoutMs = 10000;
constexpr DWORD kPollMs = 25;

// ---- Text and errors ----
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);
std::string ErrorText(DWORD error);  // "5 (Access denied.)"
std::string LastErrorText();

// ---- Environment of the run ----
std::wstring GetEnv(const wchar_t* name);  // empty when unset
std::wstring OrielExePath();               // ORIEL_EXE; throws when unset
std::wstring ExeFileName(const std::wstring& path);  // L"Oriel.exe"
// What this run exercises: ORIEL_ARCH names it (scripts/wine_env.sh); when
// unset it follows from the driver's own build and WOW64. The one place where
// cases learn which package and spooler environment Oriel must take.
struct RunTarget {
  std::wstring name;           // "win32", "wow64" or "win64"
  std::wstring packageFolder;  // L"win2k" or L"x64"
  std::wstring environment;    // L"Windows NT x86" or L"Windows x64"
  bool wow64 = false;          // the shipped 32-bit exe on 64-bit Windows
};
const RunTarget& CurrentTarget();

// ORIEL_E2E_HOST=windows: no Linux harness resets the machine between cases
// or stages anything for them; the fixture isolates the cases itself.
bool WindowsHost();
// Wine runs the driver (ntdll exports wine_get_version); otherwise Windows
// does, and each case holds it to Windows' documented behaviour.
bool UnderWine();
// The host's own version as RtlGetVersion gives it, e.g. {10, 0}, and build.
std::pair<DWORD, DWORD> HostVersion();
DWORD HostBuild();

// Sets HKCU\Software\Wine\AppDefaults\<exe>\Version (e.g. L"win2k") for
// processes started afterwards; an empty version removes the value.
void SetReportedWindowsVersion(const std::wstring& exeFileName, const std::wstring& version);

// ---- The program under test ----
class OrielProcess {
public:
  OrielProcess() = default;
  ~OrielProcess();  // kills the process if it still runs
  OrielProcess(const OrielProcess&) = delete;
  OrielProcess& operator=(const OrielProcess&) = delete;

  // CreateProcessW with `workDir` as current directory; throws on failure.
  void Start(const std::wstring& exePath, const std::wstring& workDir);
  bool Started() const { return process_ != nullptr; }
  DWORD Id() const { return id_; }
  HANDLE Handle() const { return process_; }
  const std::wstring& ExePath() const { return exePath_; }

  bool Running() const;
  std::optional<DWORD> ExitStatus() const;  // empty while running
  // Waits for the end and returns the exit status. Throws when the time runs
  // out, or at once when a window titled like one of `failIfShown` appears
  // (the program went on instead of ending).
  DWORD WaitForExit(DWORD timeoutMs = kExitTimeoutMs, const std::vector<std::wstring>& failIfShown = {}) const;
  void Kill();

  // "process 42 (running)" / "process 42 (ended with status 1)"
  std::string Describe() const;

private:
  HANDLE process_ = nullptr;
  HANDLE thread_ = nullptr;
  DWORD id_ = 0;
  std::wstring exePath_;
};

// ---- Waiting ----
// Polls `condition` until it holds or the time runs out; returns the last answer.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs = kWindowTimeoutMs);

// ---- Top-level windows ----
struct WindowInfo {
  HWND hwnd = nullptr;
  std::wstring title;
  std::wstring className;
  bool visible = false;
};
std::vector<WindowInfo> TopLevelWindows(DWORD processId);
std::string DescribeWindows(DWORD processId);  // one line, for failure messages

// A visible top-level window of the process with exactly this title (and
// class, when given); nullptr when there is none.
HWND FindWindowOf(DWORD processId, const std::wstring& title, const std::wstring& className = L"");
std::vector<HWND> FindWindowsOf(DWORD processId, const std::wstring& title, const std::wstring& className = L"");

// Waits until such a window is visible and its thread answers messages (its
// initialisation has run and its modal loop is turning). Fails at once if the
// process ends first. `notThis` skips a window that is still closing.
HWND WaitForWindow(const OrielProcess& app, const std::wstring& title, DWORD timeoutMs = kWindowTimeoutMs,
                   HWND notThis = nullptr);
void WaitForWindowGone(HWND window, const std::wstring& what, DWORD timeoutMs = kWindowTimeoutMs);

// Message boxes: dialog class #32770 with the given caption.
HWND WaitForMessageBox(const OrielProcess& app, const std::wstring& caption = L"Oriel",
                       DWORD timeoutMs = kWindowTimeoutMs);
std::wstring MessageBoxText(HWND box);
void PressMessageBoxButton(HWND box, int buttonId = IDOK);

// ---- Reading windows and controls ----
HWND Control(HWND dialog, int id);  // throws when the dialog has no such control
bool HasControl(HWND dialog, int id);
int ControlId(HWND control);        // as the template gave it; -1 for 0xFFFF
std::wstring Text(HWND window);     // WM_GETTEXT
std::wstring WindowTitle(HWND window);  // GetWindowTextW, never blocks
std::wstring ClassName(HWND window);
LONG Style(HWND window);
LONG ExStyle(HWND window);
bool HasStyle(HWND window, LONG bits);
bool HasExStyle(HWND window, LONG bits);
bool IsShown(HWND window);    // WS_VISIBLE of the window itself
bool IsVisible(HWND window);  // IsWindowVisible: the window and all parents
bool IsEnabled(HWND window);
int CheckState(HWND button);  // BM_GETCHECK
// The control that has the keyboard focus in the window's thread.
HWND FocusedWindow(HWND anyWindowOfThread);
// Direct children in creation (= tab) order.
std::vector<HWND> ChildWindows(HWND parent);
std::string Describe(HWND window);  // "Button 1009 "&Next >"" for messages

// Combo boxes
int ComboCount(HWND combo);
std::wstring ComboItem(HWND combo, int index);
std::vector<std::wstring> ComboItems(HWND combo);
int ComboSelection(HWND combo);

// List views, across processes: item texts and column data travel through
// memory allocated in the target process.
int ListViewRowCount(HWND listView);
std::wstring ListViewText(HWND listView, int row, int column = 0);
std::vector<std::wstring> ListViewColumnTexts(HWND listView, int column = 0);
UINT ListViewState(HWND listView, int row, UINT mask = LVIS_SELECTED | LVIS_FOCUSED);
bool ListViewIsSelected(HWND listView, int row);
std::vector<int> ListViewSelectedRows(HWND listView);
int ListViewColumnCount(HWND listView);
std::wstring ListViewColumnTitle(HWND listView, int column);
int ListViewColumnWidth(HWND listView, int column);
DWORD ListViewExtendedStyle(HWND listView);
// Selects one row as a click would (selected and focused, others cleared).
void ListViewSelectRow(HWND listView, int row);
void ListViewClearSelection(HWND listView);

// ---- Acting like a user ----
// Presses a button (posted BM_CLICK: the caller is never held up by a modal
// loop the button opens).
void Click(HWND button);
// Posts WM_COMMAND (id, code) to the dialog, as a control's notification.
void PostCommand(HWND dialog, int id, int code = BN_CLICKED);
// Sets a combo's selection and notifies the dialog with CBN_SELCHANGE, as a
// user's pick does; returns after the dialog has handled it.
void SelectComboItem(HWND dialog, int id, int index);
// Moves the focus to a control through the dialog manager (WM_NEXTDLGCTL)
// and waits until it has it.
void FocusControl(HWND dialog, HWND control);
// Posts key down and up to the focused control of the dialog (or the dialog),
// so the modal loop's dialog manager handles the key as from the keyboard.
void PressKey(HWND dialog, WORD virtualKey);
inline void PressEnter(HWND dialog) { PressKey(dialog, VK_RETURN); }
inline void PressEscape(HWND dialog) { PressKey(dialog, VK_ESCAPE); }
// Sends characters to a control (WM_CHAR), returning after each is handled.
void TypeChars(HWND control, const std::wstring& text);
void PressCloseBox(HWND window);                   // WM_SYSCOMMAND SC_CLOSE
void PostSysCommand(HWND window, WPARAM command);  // WM_SYSCOMMAND

// Sends a message with a timeout; throws when the window does not answer.
LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                        DWORD timeoutMs = kMessageTimeoutMs);
// Returns once the window's thread has handled every message sent before.
void Sync(HWND window);

// ---- X ----
// The sizes of the images Wine handed to X as the window's _NET_WM_ICON, big
// icon first, read by xprop (a Unix program Wine starts). Only a window
// outside Wine's virtual desktop is an X window of its own; WM_GETICON from
// another process gives NULL under Wine 8. Throws when xprop finds no window.
std::vector<std::pair<int, int>> XWindowIconSizes(const std::wstring& title);

// ---- Screenshots ----
// Saves the whole display as <ORIEL_SCREENSHOTS>\<name>.png, after letting
// `repaint` (if given) draw itself; characters a file name cannot hold
// become '_'. Returns the path, or empty when ORIEL_SCREENSHOTS is unset.
// Throws when capturing or writing fails.
std::wstring SaveScreenshot(const std::wstring& name, HWND repaint = nullptr);

}  // namespace e2e
