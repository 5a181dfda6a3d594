#include "tests/e2e/ui_driver.h"

namespace e2e {

bool DrawWindowWhereScreenIsBlank(HDC memory, const DWORD* pixels, int width, int height, bool copied, HWND window,
                                  int screenX, int screenY) {
  if (copied) {
    for (long i = 0, count = static_cast<long>(width) * height; i < count; ++i) {
      if (pixels[i] & 0xFFFFFF) return true;
    }
  }
  RECT frame{};
  if (!window || !IsWindow(window) || !GetWindowRect(window, &frame)) return copied;
  PatBlt(memory, 0, 0, width, height, WHITENESS);
  POINT origin{};
  SetViewportOrgEx(memory, frame.left - screenX, frame.top - screenY, &origin);
  // https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-printwindow
  const bool drawn = PrintWindow(window, memory, 0) != FALSE;
  SetViewportOrgEx(memory, origin.x, origin.y, nullptr);
  GdiFlush();
  return drawn;
}

}  // namespace e2e
