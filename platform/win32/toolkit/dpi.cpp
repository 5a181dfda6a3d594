// The per-monitor DPI functions are declared for Windows 10 only; they are
// still looked up at run time, so Oriel starts on older Windows.
#undef WINVER
#define WINVER 0x0605
#include <windows.h>
#include <commctrl.h>

#include "platform/win32/toolkit/dpi.h"

#include "platform/win32/runtime/system_library.h"
#include "resources/resource.h"

namespace oriel::win32 {

// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-getdpiforwindow
UINT WindowDpi(HWND window) {
  static const auto getDpiForWindow = ORIEL_SYSTEM_FUNCTION(SystemModule(L"user32.dll"), GetDpiForWindow);
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

// https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-getsystemmetricsfordpi
int SystemMetricForDpi(int index, UINT dpi) {
  static const auto getSystemMetricsForDpi =
      ORIEL_SYSTEM_FUNCTION(SystemModule(L"user32.dll"), GetSystemMetricsForDpi);
  if (getSystemMetricsForDpi != nullptr) return getSystemMetricsForDpi(index, dpi);
  return ::GetSystemMetrics(index);
}

// LoadIconWithScaleDown (comctl32 6, Vista on) scales a larger image down
// rather than a smaller one up; LoadImageW picks the nearest size otherwise:
// https://learn.microsoft.com/en-us/windows/win32/api/commctrl/nf-commctrl-loadiconwithscaledown
ApplicationIcon::ApplicationIcon(int size) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  static const auto loadIconWithScaleDown =
      ORIEL_SYSTEM_FUNCTION(SystemModule(L"comctl32.dll"), LoadIconWithScaleDown);
  if (loadIconWithScaleDown != nullptr &&
      SUCCEEDED(loadIconWithScaleDown(instance, MAKEINTRESOURCEW(IDI_ORIEL), size, size, &icon_))) {
    return;
  }
  icon_ = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(IDI_ORIEL), IMAGE_ICON, size, size, 0));
}

ApplicationIcon::~ApplicationIcon() {
  if (icon_ != nullptr) ::DestroyIcon(icon_);
}

ApplicationIcon& ApplicationIcon::operator=(ApplicationIcon&& other) noexcept {
  if (this != &other) {
    if (icon_ != nullptr) ::DestroyIcon(icon_);
    icon_ = other.icon_;
    other.icon_ = nullptr;
  }
  return *this;
}

}  // namespace oriel::win32
