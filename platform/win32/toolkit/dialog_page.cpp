#include "platform/win32/toolkit/dialog_page.h"

#include <exception>

#include "platform/win32/toolkit/background_work.h"
#include "platform/win32/toolkit/messages.h"

namespace oriel::win32 {

namespace {
constexpr const wchar_t* kInternalError =
    L"Oriel stopped because of an internal error. This is a fault in Oriel, not in this PC: please report this "
    L"message (Ctrl+C copies it).";
}  // namespace

DialogPage::DialogPage(int templateId, std::span<const InitialListItem> initialLists)
    : templateId_(templateId), initialLists_(initialLists) {}

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
  for (const InitialListItem& item : initialLists_) {
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
  // Composing the report allocates, and may throw in turn (bad_alloc): then
  // the fixed text goes out instead.
  try {
    return page->HandleMessage(message, wParam, lParam);
  } catch (const std::exception& error) {
    try {
      ShowMessage(hwnd, std::wstring(kInternalError) + L"\n\n" + WideFromAnsi(error.what()));
    } catch (...) {
      ShowFixedMessage(hwnd, kInternalError);
    }
  } catch (...) {
    ShowFixedMessage(hwnd, kInternalError);
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
      // Enter and Escape reach the dialog with its buttons disabled.
      if ((id == IDOK || id == IDCANCEL) && IsWaitingOver(hwnd_)) return TRUE;
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
    // A dialog procedure answers this one through DWLP_MSGRESULT:
    // https://learn.microsoft.com/en-us/windows/win32/menurc/wm-setcursor
    case WM_SETCURSOR:
      if (!IsWaitingOver(hwnd_)) return FALSE;
      ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
      ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, TRUE);
      return TRUE;
    // https://learn.microsoft.com/en-us/windows/win32/hidpi/wm-dpichanged
    case WM_DPICHANGED:
      OnDpiChanged(LOWORD(wParam));
      return FALSE;  // the dialog manager's own rescaling follows
    // https://learn.microsoft.com/en-us/windows/win32/shutdown/wm-queryendsession
    case WM_QUERYENDSESSION:
      if (OnQueryEndSession()) return FALSE;  // the default answer, TRUE
      ::SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, FALSE);
      return TRUE;
    // https://learn.microsoft.com/en-us/windows/win32/shutdown/wm-endsession
    case WM_ENDSESSION:
      OnEndSession(wParam != FALSE);
      return FALSE;
    case WM_QUERYDRAGICON:
      // One of the messages a dialog procedure answers by its return value.
      return reinterpret_cast<INT_PTR>(OnQueryDragIcon());
    case kRunOnDialogThreadMessage:
      AnswerRunOnDialogThread(lParam);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace oriel::win32
