#include "platform/win32/toolkit/dpi.h"

#include "resources/resource.h"

namespace oriel::win32 {

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

HICON LoadApplicationIcon() {
  return ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_ORIEL));
}

}  // namespace oriel::win32
