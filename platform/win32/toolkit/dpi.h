#pragma once
// Sizes for the window's DPI.
#include <windows.h>

namespace oriel::win32 {

// The window's DPI: GetDpiForWindow where the system has it (Windows 10
// 1607 on), else the screen's LOGPIXELSY, which a system-aware program gets.
UINT WindowDpi(HWND window);
// Pixels at 96 DPI scaled to dpi, rounded to the nearest.
int ScaledForDpi(int pixelsAt96, UINT dpi);
HICON LoadApplicationIcon();

}  // namespace oriel::win32
