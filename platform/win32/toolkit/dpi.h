#pragma once
// Sizes for the window's DPI.
#include <windows.h>

namespace oriel::win32 {

// The window's DPI: GetDpiForWindow where the system has it (Windows 10
// 1607 on), else the screen's LOGPIXELSY, which a system-aware program gets.
UINT WindowDpi(HWND window);
// Pixels at 96 DPI scaled to dpi, rounded to the nearest.
int ScaledForDpi(int pixelsAt96, UINT dpi);
// GetSystemMetrics for a DPI: GetSystemMetricsForDpi where the system has it
// (Windows 10 1607 on), else the system's own, which is already scaled for
// the system DPI a system-aware program gets.
int SystemMetricForDpi(int index, UINT dpi);

// The program's icon drawn for one size, owned and freed by this object.
class ApplicationIcon {
 public:
  ApplicationIcon() = default;
  explicit ApplicationIcon(int size);
  ~ApplicationIcon();
  ApplicationIcon(ApplicationIcon&& other) noexcept : icon_(other.icon_) { other.icon_ = nullptr; }
  ApplicationIcon& operator=(ApplicationIcon&& other) noexcept;
  ApplicationIcon(const ApplicationIcon&) = delete;
  ApplicationIcon& operator=(const ApplicationIcon&) = delete;
  HICON Handle() const { return icon_; }

 private:
  HICON icon_ = nullptr;
};

}  // namespace oriel::win32
