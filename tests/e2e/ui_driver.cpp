#include "tests/e2e/ui_driver.h"

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "tests/e2e/test_package.h"

namespace e2e {
namespace {

[[noreturn]] void Fail(const std::string& message) { throw std::runtime_error(message); }

ULONGLONG Now() { return GetTickCount64(); }

std::string Quote(const std::wstring& text) { return "\"" + Utf8(text) + "\""; }

bool SameTextIgnoringCase(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

class Handle {
public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }

private:
  HANDLE handle_;
};

// A block of memory inside the process that owns a window, for messages
// whose pointers the system does not carry across processes.
class RemoteMemory {
public:
  RemoteMemory(HWND window, std::size_t size)
      : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                             FALSE, ProcessOf(window))),
        size_(size) {
    if (!process_.get()) Fail("cannot open the process of " + Describe(window) + ": " + LastErrorText());
    address_ = VirtualAllocEx(process_.get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!address_) Fail("VirtualAllocEx failed: " + LastErrorText());
  }
  ~RemoteMemory() { VirtualFreeEx(process_.get(), address_, 0, MEM_RELEASE); }
  RemoteMemory(const RemoteMemory&) = delete;
  RemoteMemory& operator=(const RemoteMemory&) = delete;

  char* Address(std::size_t offset = 0) const { return static_cast<char*>(address_) + offset; }

  void Write(const void* data, std::size_t size, std::size_t offset = 0) {
    SIZE_T done = 0;
    if (offset + size > size_ || !WriteProcessMemory(process_.get(), Address(offset), data, size, &done) ||
        done != size) {
      Fail("WriteProcessMemory failed: " + LastErrorText());
    }
  }

  void Read(void* data, std::size_t size, std::size_t offset = 0) const {
    SIZE_T done = 0;
    if (offset + size > size_ || !ReadProcessMemory(process_.get(), Address(offset), data, size, &done) ||
        done != size) {
      Fail("ReadProcessMemory failed: " + LastErrorText());
    }
  }

private:
  static DWORD ProcessOf(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
  }

  Handle process_;
  std::size_t size_;
  void* address_ = nullptr;
};

void RequireWindow(HWND window, const char* what) {
  if (!window || !IsWindow(window)) Fail(std::string(what) + ": no such window (it may have closed)");
}

HWND WaitForTopLevel(const OrielProcess& app, const std::wstring& title, const std::wstring& className,
                     DWORD timeoutMs, HWND notThis) {
  const ULONGLONG start = Now();
  for (;;) {
    for (HWND window : FindWindowsOf(app.Id(), title, className)) {
      if (window == notThis) continue;
      // A window that answers has finished its initialisation and sits in
      // its modal loop.
      DWORD_PTR ignored = 0;
      const ULONGLONG spent = Now() - start;
      const DWORD left = spent < timeoutMs ? static_cast<DWORD>(timeoutMs - spent) : 1000;
      if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, left, &ignored)) return window;
    }
    if (!app.Running()) {
      Fail("the program ended (" + app.Describe() + ") without showing " + Quote(title) + "; windows left: " +
           DescribeWindows(app.Id()));
    }
    if (Now() - start > timeoutMs) {
      Fail("no window " + Quote(title) + (className.empty() ? "" : " of class " + Utf8(className)) + " within " +
           std::to_string(timeoutMs) + " ms; " + app.Describe() + " has: " + DescribeWindows(app.Id()));
    }
    Sleep(kPollMs);
  }
}

}  // namespace

// ---- Text and errors ----

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string out(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), size);
  return out;
}

std::string ErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
      reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length && buffer ? std::wstring(buffer, length) : std::wstring();
  if (buffer) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
  return std::to_string(error) + (text.empty() ? "" : " (" + Utf8(text) + ")");
}

std::string LastErrorText() { return ErrorText(GetLastError()); }

// ---- Environment ----

std::wstring GetEnv(const wchar_t* name) {
  const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
  if (size == 0) return {};
  std::wstring value(size, L'\0');
  const DWORD length = GetEnvironmentVariableW(name, value.data(), size);
  value.resize(length < size ? length : 0);
  return value;
}

std::wstring OrielExePath() {
  const std::wstring path = GetEnv(L"ORIEL_EXE");
  if (path.empty()) Fail("ORIEL_EXE is not set (the Windows path of Oriel.exe)");
  return path;
}

std::wstring ExeFileName(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

const RunTarget& CurrentTarget() {
  static const RunTarget target = [] {
    std::wstring name = GetEnv(L"ORIEL_ARCH");
    if (name.empty()) {
#ifdef _WIN64
      name = L"win64";
#else
      BOOL wow64 = FALSE;
      IsWow64Process(GetCurrentProcess(), &wow64);
      name = wow64 ? L"wow64" : L"win32";
#endif
    }
    if (name == L"win32") return RunTarget{name, L"win2k", L"Windows NT x86", false};
    if (name == L"wow64") return RunTarget{name, L"x64", L"Windows x64", true};
    if (name == L"win64") return RunTarget{name, L"x64", L"Windows x64", false};
    Fail("ORIEL_ARCH is " + Utf8(name) + "; expected win32, wow64 or win64");
  }();
  return target;
}

bool WindowsHost() { return GetEnv(L"ORIEL_E2E_HOST") == L"windows"; }

bool UnderWine() {
  static const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

static const OSVERSIONINFOW& HostVersionInfo() {
  // GetVersionEx answers by the driver's manifest; RtlGetVersion does not.
  // https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/wdm/nf-wdm-rtlgetversion
  static const OSVERSIONINFOW info = [] {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto get = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    if (!get || get(&version) != 0) Fail("RtlGetVersion failed");
    return version;
  }();
  return info;
}

std::pair<DWORD, DWORD> HostVersion() { return {HostVersionInfo().dwMajorVersion, HostVersionInfo().dwMinorVersion}; }

DWORD HostBuild() { return HostVersionInfo().dwBuildNumber; }

void SetReportedWindowsVersion(const std::wstring& exeFileName, const std::wstring& version) {
  const std::wstring path = L"Software\\Wine\\AppDefaults\\" + exeFileName;
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                                nullptr);
  if (status != ERROR_SUCCESS) Fail("cannot create HKCU\\" + Utf8(path) + ": " + ErrorText(static_cast<DWORD>(status)));
  if (version.empty()) {
    status = RegDeleteValueW(key, L"Version");
    if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
  } else {
    status = RegSetValueExW(key, L"Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version.c_str()),
                            static_cast<DWORD>((version.size() + 1) * sizeof(wchar_t)));
  }
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) Fail("cannot set the Wine version value: " + ErrorText(static_cast<DWORD>(status)));
}

// ---- OrielProcess ----

OrielProcess::~OrielProcess() {
  Kill();
  if (thread_) CloseHandle(thread_);
  if (process_) CloseHandle(process_);
}

void OrielProcess::Start(const std::wstring& exePath, const std::wstring& workDir) {
  if (process_) Fail("the program was already started");
  std::wstring commandLine = L"\"" + exePath + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, workDir.c_str(),
                      &startup, &info)) {
    Fail("cannot start " + Utf8(exePath) + " in " + Utf8(workDir) + ": " + LastErrorText());
  }
  process_ = info.hProcess;
  thread_ = info.hThread;
  id_ = info.dwProcessId;
  exePath_ = exePath;
}

bool OrielProcess::Running() const { return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

std::optional<DWORD> OrielProcess::ExitStatus() const {
  if (!process_ || Running()) return std::nullopt;
  DWORD status = 0;
  if (!GetExitCodeProcess(process_, &status)) return std::nullopt;
  return status;
}

DWORD OrielProcess::WaitForExit(DWORD timeoutMs, const std::vector<std::wstring>& failIfShown) const {
  if (!process_) Fail("the program was never started");
  const ULONGLONG start = Now();
  for (;;) {
    if (WaitForSingleObject(process_, kPollMs) == WAIT_OBJECT_0) return *ExitStatus();
    for (const std::wstring& title : failIfShown) {
      if (FindWindowOf(id_, title)) {
        Fail("the program was expected to end but showed " + Quote(title) + "; windows: " + DescribeWindows(id_));
      }
    }
    if (Now() - start > timeoutMs) {
      Fail("the program did not end within " + std::to_string(timeoutMs) + " ms; windows: " + DescribeWindows(id_));
    }
  }
}

void OrielProcess::Kill() {
  if (!Running()) return;
  TerminateProcess(process_, 0xDEAD);
  WaitForSingleObject(process_, 10000);
}

std::string OrielProcess::Describe() const {
  if (!process_) return "program not started";
  const std::optional<DWORD> status = ExitStatus();
  return "process " + std::to_string(id_) +
         (status ? " (ended with status " + std::to_string(*status) + ")" : std::string(" (running)"));
}

// ---- Waiting ----

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG start = Now();
  for (;;) {
    if (condition()) return true;
    if (Now() - start > timeoutMs) return condition();
    Sleep(kPollMs);
  }
}

// ---- Top-level windows ----

namespace {

struct WindowSearch {
  DWORD processId;
  std::vector<WindowInfo> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<WindowSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId) {
    search->found.push_back({window, WindowTitle(window), ClassName(window), IsWindowVisible(window) != FALSE});
  }
  return TRUE;
}

}  // namespace

std::vector<WindowInfo> TopLevelWindows(DWORD processId) {
  WindowSearch search{processId, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string DescribeWindows(DWORD processId) {
  std::string text;
  int hidden = 0;
  for (const WindowInfo& info : TopLevelWindows(processId)) {
    if (!info.visible) {
      ++hidden;  // combo lists, the IME window: noise in a failure message
      continue;
    }
    if (!text.empty()) text += "; ";
    text += Quote(info.title) + " (" + Utf8(info.className) + ")";
  }
  if (text.empty()) text = "no visible window";
  return hidden ? text + " (and " + std::to_string(hidden) + " hidden)" : text;
}

std::vector<HWND> FindWindowsOf(DWORD processId, const std::wstring& title, const std::wstring& className) {
  std::vector<HWND> found;
  for (const WindowInfo& info : TopLevelWindows(processId)) {
    if (info.visible && info.title == title && (className.empty() || SameTextIgnoringCase(info.className, className))) {
      found.push_back(info.hwnd);
    }
  }
  return found;
}

HWND FindWindowOf(DWORD processId, const std::wstring& title, const std::wstring& className) {
  const std::vector<HWND> found = FindWindowsOf(processId, title, className);
  return found.empty() ? nullptr : found.front();
}

HWND WaitForWindow(const OrielProcess& app, const std::wstring& title, DWORD timeoutMs, HWND notThis) {
  return WaitForTopLevel(app, title, L"", timeoutMs, notThis);
}

void WaitForWindowGone(HWND window, const std::wstring& what, DWORD timeoutMs) {
  if (!WaitUntil([&] { return !IsWindow(window); }, timeoutMs)) {
    Fail("window " + Quote(what) + " still open after " + std::to_string(timeoutMs) + " ms");
  }
}

HWND WaitForMessageBox(const OrielProcess& app, const std::wstring& caption, DWORD timeoutMs) {
  return WaitForTopLevel(app, caption, L"#32770", timeoutMs, nullptr);
}

std::wstring MessageBoxText(HWND box) {
  RequireWindow(box, "message box");
  if (HWND text = GetDlgItem(box, 0xFFFF)) return Text(text);
  for (HWND child : ChildWindows(box)) {
    if (SameTextIgnoringCase(ClassName(child), L"Static") && (Style(child) & SS_TYPEMASK) != SS_ICON) {
      std::wstring text = Text(child);
      if (!text.empty()) return text;
    }
  }
  Fail("message box " + Quote(WindowTitle(box)) + " has no text control");
}

void PressMessageBoxButton(HWND box, int buttonId) {
  RequireWindow(box, "message box");
  if (HWND button = GetDlgItem(box, buttonId)) {
    Click(button);
  } else if (!PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0)) {
    Fail("cannot post to the message box: " + LastErrorText());
  }
}

// ---- Reading windows and controls ----

HWND Control(HWND dialog, int id) {
  RequireWindow(dialog, "dialog");
  HWND control = GetDlgItem(dialog, id);
  if (!control) {
    std::string ids;
    for (HWND child : ChildWindows(dialog)) ids += (ids.empty() ? "" : ", ") + std::to_string(ControlId(child));
    Fail("window " + Quote(WindowTitle(dialog)) + " has no control " + std::to_string(id) + "; its controls: " +
         (ids.empty() ? "none" : ids));
  }
  return control;
}

bool HasControl(HWND dialog, int id) { return GetDlgItem(dialog, id) != nullptr; }

int ControlId(HWND control) {
  const int id = GetDlgCtrlID(control);
  return (id & 0xFFFF) == 0xFFFF ? -1 : id;
}

std::wstring Text(HWND window) {
  RequireWindow(window, "reading text");
  const auto length = static_cast<std::size_t>(SendWithTimeout(window, WM_GETTEXTLENGTH));
  std::wstring text(length + 1, L'\0');
  const auto got = static_cast<std::size_t>(
      SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(std::min(got, length));
  return text;
}

std::wstring WindowTitle(HWND window) {
  for (std::size_t size = 256; size <= 65536; size *= 4) {
    std::wstring text(size, L'\0');
    const int length = GetWindowTextW(window, text.data(), static_cast<int>(size));
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) + 1 < size) {
      text.resize(static_cast<std::size_t>(length));
      return text;
    }
  }
  return {};
}

std::wstring ClassName(HWND window) {
  wchar_t name[257] = {};  // class names are at most 256 characters
  const int length = GetClassNameW(window, name, 257);
  return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

LONG Style(HWND window) { return GetWindowLongW(window, GWL_STYLE); }
LONG ExStyle(HWND window) { return GetWindowLongW(window, GWL_EXSTYLE); }
bool HasStyle(HWND window, LONG bits) { return (Style(window) & bits) == bits; }
bool HasExStyle(HWND window, LONG bits) { return (ExStyle(window) & bits) == bits; }
bool IsShown(HWND window) { return HasStyle(window, WS_VISIBLE); }
bool IsVisible(HWND window) { return IsWindowVisible(window) != FALSE; }
bool IsEnabled(HWND window) { return IsWindowEnabled(window) != FALSE; }

int CheckState(HWND button) {
  RequireWindow(button, "reading a check state");
  return static_cast<int>(SendWithTimeout(button, BM_GETCHECK));
}

HWND FocusedWindow(HWND anyWindowOfThread) {
  const DWORD thread = GetWindowThreadProcessId(anyWindowOfThread, nullptr);
  if (!thread) return nullptr;
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!GetGUIThreadInfo(thread, &info)) return nullptr;
  return info.hwndFocus;
}

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child && children.size() < 10000;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

std::string Describe(HWND window) {
  if (!window) return "no window";
  if (!IsWindow(window)) return "a closed window";
  std::string text = Utf8(ClassName(window));
  if (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) text += " " + std::to_string(ControlId(window));
  return text + " " + Quote(WindowTitle(window));
}

// Combo boxes

int ComboCount(HWND combo) {
  RequireWindow(combo, "combo box");
  return static_cast<int>(SendWithTimeout(combo, CB_GETCOUNT));
}

std::wstring ComboItem(HWND combo, int index) {
  RequireWindow(combo, "combo box");
  const LRESULT length = SendWithTimeout(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index));
  if (length == CB_ERR) Fail(Describe(combo) + " has no item " + std::to_string(index));
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT got = SendWithTimeout(combo, CB_GETLBTEXT, static_cast<WPARAM>(index),
                                      reinterpret_cast<LPARAM>(text.data()));
  if (got == CB_ERR) Fail(Describe(combo) + ": CB_GETLBTEXT failed for item " + std::to_string(index));
  text.resize(std::min(static_cast<std::size_t>(got), static_cast<std::size_t>(length)));
  return text;
}

std::vector<std::wstring> ComboItems(HWND combo) {
  std::vector<std::wstring> items;
  const int count = ComboCount(combo);
  for (int i = 0; i < count; ++i) items.push_back(ComboItem(combo, i));
  return items;
}

int ComboSelection(HWND combo) {
  RequireWindow(combo, "combo box");
  return static_cast<int>(SendWithTimeout(combo, CB_GETCURSEL));
}

// List views

int ListViewRowCount(HWND listView) {
  RequireWindow(listView, "list view");
  return static_cast<int>(SendWithTimeout(listView, LVM_GETITEMCOUNT));
}

std::wstring ListViewText(HWND listView, int row, int column) {
  RequireWindow(listView, "list view");
  for (std::size_t capacity = 512; capacity <= 32768; capacity *= 4) {
    RemoteMemory remote(listView, sizeof(LVITEMW) + capacity * sizeof(wchar_t));
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iSubItem = column;
    item.pszText = reinterpret_cast<LPWSTR>(remote.Address(sizeof(LVITEMW)));
    item.cchTextMax = static_cast<int>(capacity);
    remote.Write(&item, sizeof item);
    const wchar_t nothing = L'\0';
    remote.Write(&nothing, sizeof nothing, sizeof(LVITEMW));
    const auto length = static_cast<std::size_t>(SendWithTimeout(
        listView, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.Address())));
    if (length + 1 < capacity) {
      std::wstring text(length, L'\0');
      if (length) remote.Read(text.data(), length * sizeof(wchar_t), sizeof(LVITEMW));
      return text;
    }
  }
  Fail(Describe(listView) + ": text of row " + std::to_string(row) + " is too long");
}

std::vector<std::wstring> ListViewColumnTexts(HWND listView, int column) {
  std::vector<std::wstring> texts;
  const int rows = ListViewRowCount(listView);
  for (int row = 0; row < rows; ++row) texts.push_back(ListViewText(listView, row, column));
  return texts;
}

UINT ListViewState(HWND listView, int row, UINT mask) {
  RequireWindow(listView, "list view");
  return static_cast<UINT>(SendWithTimeout(listView, LVM_GETITEMSTATE, static_cast<WPARAM>(row), mask));
}

bool ListViewIsSelected(HWND listView, int row) { return (ListViewState(listView, row, LVIS_SELECTED) & LVIS_SELECTED) != 0; }

std::vector<int> ListViewSelectedRows(HWND listView) {
  std::vector<int> rows;
  const int count = ListViewRowCount(listView);
  for (int row = 0; row < count; ++row) {
    if (ListViewIsSelected(listView, row)) rows.push_back(row);
  }
  return rows;
}

int ListViewColumnCount(HWND listView) {
  RequireWindow(listView, "list view");
  HWND header = reinterpret_cast<HWND>(SendWithTimeout(listView, LVM_GETHEADER));
  if (!header) return 0;
  return static_cast<int>(SendWithTimeout(header, HDM_GETITEMCOUNT));
}

std::wstring ListViewColumnTitle(HWND listView, int column) {
  RequireWindow(listView, "list view");
  constexpr std::size_t kCapacity = 1024;
  RemoteMemory remote(listView, sizeof(LVCOLUMNW) + kCapacity * sizeof(wchar_t));
  LVCOLUMNW info{};
  info.mask = LVCF_TEXT;
  info.pszText = reinterpret_cast<LPWSTR>(remote.Address(sizeof(LVCOLUMNW)));
  info.cchTextMax = static_cast<int>(kCapacity);
  remote.Write(&info, sizeof info);
  const wchar_t nothing = L'\0';
  remote.Write(&nothing, sizeof nothing, sizeof(LVCOLUMNW));
  if (!SendWithTimeout(listView, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(remote.Address()))) {
    Fail(Describe(listView) + " has no column " + std::to_string(column));
  }
  std::wstring text(kCapacity, L'\0');
  remote.Read(text.data(), kCapacity * sizeof(wchar_t), sizeof(LVCOLUMNW));
  const std::size_t end = text.find(L'\0');
  if (end == std::wstring::npos) Fail(Describe(listView) + ": title of column " + std::to_string(column) + " too long");
  text.resize(end);
  return text;
}

int ListViewColumnWidth(HWND listView, int column) {
  RequireWindow(listView, "list view");
  return static_cast<int>(SendWithTimeout(listView, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column)));
}

DWORD ListViewExtendedStyle(HWND listView) {
  RequireWindow(listView, "list view");
  return static_cast<DWORD>(SendWithTimeout(listView, LVM_GETEXTENDEDLISTVIEWSTYLE));
}

namespace {

void SetListViewState(HWND listView, int row, UINT state, UINT mask) {
  RemoteMemory remote(listView, sizeof(LVITEMW));
  LVITEMW item{};
  item.stateMask = mask;
  item.state = state;
  remote.Write(&item, sizeof item);
  if (!SendWithTimeout(listView, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(remote.Address()))) {
    Fail(Describe(listView) + ": LVM_SETITEMSTATE failed for row " + std::to_string(row));
  }
}

}  // namespace

void ListViewSelectRow(HWND listView, int row) {
  RequireWindow(listView, "list view");
  SetListViewState(listView, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  SetListViewState(listView, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
}

void ListViewClearSelection(HWND listView) {
  RequireWindow(listView, "list view");
  SetListViewState(listView, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
}

// ---- Acting ----

void Click(HWND button) {
  RequireWindow(button, "clicking a button");
  if (!PostMessageW(button, BM_CLICK, 0, 0)) Fail("cannot post BM_CLICK to " + Describe(button) + ": " + LastErrorText());
}

void PostCommand(HWND dialog, int id, int code) {
  RequireWindow(dialog, "posting a command");
  HWND control = GetDlgItem(dialog, id);
  if (!PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control))) {
    Fail("cannot post WM_COMMAND to " + Describe(dialog) + ": " + LastErrorText());
  }
}

void SelectComboItem(HWND dialog, int id, int index) {
  HWND combo = Control(dialog, id);
  const LRESULT selected = SendWithTimeout(combo, CB_SETCURSEL, static_cast<WPARAM>(index));
  if (selected != index) Fail(Describe(combo) + " has no item " + std::to_string(index) + " to select");
  SendWithTimeout(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

void FocusControl(HWND dialog, HWND control) {
  RequireWindow(dialog, "dialog");
  RequireWindow(control, "control to focus");
  if (!PostMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(control), TRUE)) {
    Fail("cannot post WM_NEXTDLGCTL: " + LastErrorText());
  }
  if (!WaitUntil([&] { return FocusedWindow(dialog) == control; }, kMessageTimeoutMs)) {
    Fail("could not focus " + Describe(control) + "; the focus is on " + Describe(FocusedWindow(dialog)));
  }
}

void PressKey(HWND dialog, WORD virtualKey) {
  RequireWindow(dialog, "pressing a key");
  HWND target = FocusedWindow(dialog);
  if (!target || (target != dialog && !IsChild(dialog, target))) target = dialog;
  const UINT scan = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
  const LPARAM down = static_cast<LPARAM>(1u | (scan << 16));
  const LPARAM up = static_cast<LPARAM>(1u | (scan << 16) | (1u << 30) | (1u << 31));
  if (!PostMessageW(target, WM_KEYDOWN, virtualKey, down)) Fail("cannot post WM_KEYDOWN: " + LastErrorText());
  PostMessageW(target, WM_KEYUP, virtualKey, up);
}

void TypeChars(HWND control, const std::wstring& text) {
  RequireWindow(control, "typing");
  for (wchar_t c : text) SendWithTimeout(control, WM_CHAR, c, 1);
}

void PressCloseBox(HWND window) { PostSysCommand(window, SC_CLOSE); }

void PostSysCommand(HWND window, WPARAM command) {
  RequireWindow(window, "system command");
  if (!PostMessageW(window, WM_SYSCOMMAND, command, 0)) Fail("cannot post WM_SYSCOMMAND: " + LastErrorText());
}

LRESULT SendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD timeoutMs) {
  DWORD_PTR result = 0;
  SetLastError(0);
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, timeoutMs, &result)) {
    const DWORD error = GetLastError();
    Fail("message 0x" + [&] {
      char hex[16];
      wsprintfA(hex, "%04X", message);
      return std::string(hex);
    }() + " to " + Describe(window) + " got no answer within " + std::to_string(timeoutMs) + " ms: " + ErrorText(error));
  }
  return static_cast<LRESULT>(result);
}

void Sync(HWND window) { SendWithTimeout(window, WM_NULL); }

// ---- X ----

std::vector<std::pair<int, int>> XWindowIconSizes(const std::wstring& title) {
  if (title.find_first_of(L"'\"") != std::wstring::npos) Fail("xprop: no quotes in the title " + Quote(title));
  wchar_t folder[MAX_PATH + 1];
  wchar_t path[MAX_PATH + 1];
  if (!GetTempPathW(MAX_PATH + 1, folder) || !GetTempFileNameW(folder, L"xp", 0, path)) {
    Fail("xprop: no temporary file: " + LastErrorText());
  }
  SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
  HANDLE out = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherited,
                           CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) Fail("xprop: cannot create " + Utf8(path) + ": " + LastErrorText());
  // Wine runs a Unix program by its DOS path and gives no handle to wait
  // for, so the shell marks the end of the output.
  const char* const kEnd = "end of xprop\n";
  std::wstring command = L"Z:\\bin\\sh -c \"xprop -name '" + title + L"' _NET_WM_ICON; echo end of xprop\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = out;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process);
  const std::string startError = LastErrorText();
  CloseHandle(out);
  if (process.hProcess) CloseHandle(process.hProcess);
  if (process.hThread) CloseHandle(process.hThread);
  std::string text;
  const auto ended = [&] {
    return ReadWholeFile(path, &text) && text.size() >= std::strlen(kEnd) &&
           text.compare(text.size() - std::strlen(kEnd), std::string::npos, kEnd) == 0;
  };
  const bool done = started && WaitUntil(ended, kMessageTimeoutMs);
  DeleteFileW(path);
  if (!started) Fail("cannot start " + Utf8(command) + ": " + startError);
  if (!done) Fail("xprop did not finish within " + std::to_string(kMessageTimeoutMs) + " ms: " + text);
  std::vector<std::pair<int, int>> sizes;
  for (std::size_t at = text.find("Icon ("); at != std::string::npos; at = text.find("Icon (", at + 1)) {
    int width = 0, height = 0;
    if (std::sscanf(text.c_str() + at, "Icon (%d x %d)", &width, &height) == 2) sizes.emplace_back(width, height);
  }
  if (sizes.empty()) Fail("xprop gave no icon for " + Quote(title) + ": " + text);
  return sizes;
}

// ---- Screenshots ----

namespace {

using Microsoft::WRL::ComPtr;

void Check(HRESULT result, const char* call) {
  if (FAILED(result)) {
    char hex[16];
    wsprintfA(hex, "0x%08lX", static_cast<unsigned long>(result));
    Fail(std::string(call) + " failed with " + hex);
  }
}

class ComApartment {
public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

private:
  HRESULT result_;
};

// `pixels`: 32-bit BGR rows, top first. WIC's PNG encoder is in Windows
// (windowscodecs.dll) and in Wine; WriteSource converts to what PNG stores.
void WritePng(const std::wstring& path, int width, int height, BYTE* pixels) {
  ComApartment apartment;
  ComPtr<IWICImagingFactory> factory;
  Check(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory, &factory),
        "CoCreateInstance(CLSID_WICImagingFactory)");
  const UINT w = static_cast<UINT>(width), h = static_cast<UINT>(height);
  ComPtr<IWICBitmap> source;
  Check(factory->CreateBitmapFromMemory(w, h, GUID_WICPixelFormat32bppBGR, w * 4, w * 4 * h, pixels, &source),
        "CreateBitmapFromMemory");
  ComPtr<IWICStream> stream;
  Check(factory->CreateStream(&stream), "CreateStream");
  Check(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE), "IWICStream::InitializeFromFilename");
  ComPtr<IWICBitmapEncoder> encoder;
  Check(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder), "CreateEncoder(GUID_ContainerFormatPng)");
  Check(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), "IWICBitmapEncoder::Initialize");
  ComPtr<IWICBitmapFrameEncode> frame;
  Check(encoder->CreateNewFrame(&frame, nullptr), "CreateNewFrame");
  Check(frame->Initialize(nullptr), "IWICBitmapFrameEncode::Initialize");
  Check(frame->SetSize(w, h), "SetSize");
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  Check(frame->SetPixelFormat(&format), "SetPixelFormat");
  Check(frame->WriteSource(source.Get(), nullptr), "WriteSource");
  Check(frame->Commit(), "IWICBitmapFrameEncode::Commit");
  Check(encoder->Commit(), "IWICBitmapEncoder::Commit");
}

}  // namespace

std::wstring SaveScreenshot(const std::wstring& name, HWND repaint) {
  const std::wstring folder = GetEnv(L"ORIEL_SCREENSHOTS");
  if (folder.empty()) return {};

  if (repaint && IsWindow(repaint)) {
    // Never wait without a bound here: this also runs when a test has failed
    // and the program may be stuck.
    RedrawWindow(repaint, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(repaint, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &ignored);
    Sleep(300);
  }

  int x = GetSystemMetrics(SM_XVIRTUALSCREEN), y = GetSystemMetrics(SM_YVIRTUALSCREEN);
  int width = GetSystemMetrics(SM_CXVIRTUALSCREEN), height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
  if (width <= 0 || height <= 0) {
    x = y = 0;
    width = GetSystemMetrics(SM_CXSCREEN);
    height = GetSystemMetrics(SM_CYSCREEN);
  }
  if (width <= 0 || height <= 0) Fail("screenshot: no screen size");
  // Pictures for people (ORIEL_SCREENSHOT_CROP) show the window alone, frame
  // included; the cases' pictures show the whole screen.
  RECT frame{};
  if (repaint && !GetEnv(L"ORIEL_SCREENSHOT_CROP").empty() && GetWindowRect(repaint, &frame)) {
    const LONG left = std::max<LONG>(frame.left, x), top = std::max<LONG>(frame.top, y);
    const LONG right = std::min<LONG>(frame.right, x + width), bottom = std::min<LONG>(frame.bottom, y + height);
    if (right > left && bottom > top) {
      x = left;
      y = top;
      width = right - left;
      height = bottom - top;
    }
  }

  std::wstring fileName = name;
  for (wchar_t& c : fileName) {
    if (c < 32 || std::wstring(L"\\/:*?\"<>|").find(c) != std::wstring::npos) c = L'_';
  }
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring path = folder + (folder.back() == L'\\' ? L"" : L"\\") + fileName + L".png";

  HDC screen = GetDC(nullptr);
  if (!screen) Fail("screenshot: GetDC failed");
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  bool copied = false;
  if (memory && bitmap && bits) {
    HGDIOBJ old = SelectObject(memory, bitmap);
    copied = BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY | CAPTUREBLT) != FALSE;
    GdiFlush();
    SelectObject(memory, old);
  }
  std::string error = copied ? "" : "capturing the screen failed";
  try {
    if (copied) WritePng(path, width, height, static_cast<BYTE*>(bits));
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (bitmap) DeleteObject(bitmap);
  if (memory) DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (!error.empty()) Fail("screenshot " + Utf8(path) + ": " + error);
  return path;
}

}  // namespace e2e
