#include "platform/win32/dialog_page.h"

#include <exception>
#include <vector>

#include "resources/initial_lists.h"
#include "resources/resource.h"

namespace oriel::win32 {

DialogPage::DialogPage(int templateId) : templateId_(templateId) {}

INT_PTR DialogPage::DoModal() {
  endedOnInternalError_ = false;
  HWND owner = ::GetActiveWindow();
  const INT_PTR result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId_),
                                           owner, &DialogPage::DialogProc, reinterpret_cast<LPARAM>(this));
  hwnd_ = nullptr;
  return result;
}

void DialogPage::EndDialog(INT_PTR result) { ::EndDialog(hwnd_, result); }

void DialogPage::ApplyInitialLists() {
  if (templateId_ != IDD_SETTINGS_PAGE) return;
  for (const InitialListItem& item : kSettingsInitialLists) {
    ComboItem(item.controlId).AddString(item.text);
  }
}

INT_PTR CALLBACK DialogPage::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogPage* page = nullptr;
  if (message == WM_INITDIALOG) {
    page = reinterpret_cast<DialogPage*>(lParam);
    page->hwnd_ = hwnd;
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
  } else {
    page = reinterpret_cast<DialogPage*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  }
  if (page == nullptr) return FALSE;
  // Nothing may unwind through the dialog manager: report and end the page.
  try {
    return page->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    ShowMessage(hwnd, L"Oriel stopped because of an internal error: " + WideFromAnsi(error.what()));
  } catch (...) {
    ShowMessage(hwnd, L"Oriel stopped because of an internal error.");
  }
  page->endedOnInternalError_ = true;
  ::EndDialog(hwnd, -1);
  return TRUE;
}

INT_PTR DialogPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      ApplyInitialLists();
      return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == IDOK && code == BN_CLICKED) {
        OnOK();
      } else if (id == IDCANCEL && code == BN_CLICKED) {
        OnCancel();
      } else if (code == BN_CLICKED && lParam != 0) {
        OnButton(id);
      } else if (code == CBN_SELCHANGE) {
        OnSelChange(id);
      } else {
        return FALSE;
      }
      return TRUE;
    }
    case WM_SYSCOMMAND:
      return OnSysCommand(static_cast<UINT>(wParam)) ? TRUE : FALSE;
    case WM_PAINT:
      return OnPaint() ? TRUE : FALSE;
    // https://learn.microsoft.com/en-us/windows/win32/hidpi/wm-dpichanged
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wParam));
      return FALSE;  // the dialog manager's own rescaling follows
    case WM_QUERYDRAGICON:
      // One of the messages a dialog procedure answers by its return value.
      return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    default:
      return FALSE;
  }
}

// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-getdpiforwindow
UINT WindowDpi(HWND window) {
  using GetDpiForWindowFunction = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFunction>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (getDpiForWindow != nullptr) {
    if (const UINT dpi = getDpiForWindow(window); dpi != 0) return dpi;
  }
  UINT dpi = USER_DEFAULT_SCREEN_DPI;
  if (HDC dc = ::GetDC(window)) {
    if (const int pixels = ::GetDeviceCaps(dc, LOGPIXELSY); pixels > 0) dpi = static_cast<UINT>(pixels);
    ::ReleaseDC(window, dc);
  }
  return dpi;
}

int ScaledForDpi(int pixelsAt96, UINT dpi) {
  return ::MulDiv(pixelsAt96, static_cast<int>(dpi), USER_DEFAULT_SCREEN_DPI);
}

static std::wstring WideFromCodePage(UINT codePage, const std::string& text) {
  if (text.empty()) return {};
  const int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::wstring WideFromUtf8(const std::string& text) { return WideFromCodePage(CP_UTF8, text); }
std::wstring WideFromAnsi(const std::string& text) { return WideFromCodePage(CP_ACP, text); }

std::wstring ApplicationTitle() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return L"Oriel";
    if (length < path.size()) {
      std::wstring name(path.data(), length);
      const size_t slash = name.find_last_of(L"\\/");
      if (slash != std::wstring::npos) name.erase(0, slash + 1);
      const size_t dot = name.find_last_of(L'.');
      if (dot != std::wstring::npos && dot > 0) name.erase(dot);
      return name;
    }
    path.resize(path.size() * 2);
  }
}

void ShowMessage(HWND owner, const std::wstring& text) {
  ::MessageBoxW(owner, text.c_str(), ApplicationTitle().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

std::string SystemErrorText(DWORD error) {
  char* buffer = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (length != 0 && buffer != nullptr) {
    text.assign(buffer, length);
    ::LocalFree(buffer);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) text = "Unknown error.";
  return text;
}

HICON LoadApplicationIcon() {
  return ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_ORIEL));
}

}  // namespace oriel::win32
