// The floor of the start figure: a program that shows one modal dialog from
// an in-memory template ("Floor Dialog", one OK button) and nothing else. It
// carries Oriel's manifest (floor_dialog.rc), and the template has the OS
// page's style, size and font, so that the ratio measures Oriel's own code.
#include "tools/bench/floor_template.h"

namespace {

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) return TRUE;
  if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
    EndDialog(dialog, LOWORD(wParam));
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const std::vector<WORD> t = floor_template::Dialog(L"Floor Dialog", L"OK");
  DialogBoxIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(t.data()), nullptr, DialogProc, 0);
  return 0;
}
