// The floor of the start figure: a program that shows one modal dialog from
// an in-memory template ("Floor Dialog", one OK button) and nothing else. It
// carries Oriel's manifest (floor_dialog.rc), and the template has the OS
// page's style, size and font, so that the ratio measures Oriel's own code.
#include <windows.h>

#include <vector>

namespace {

void Put(std::vector<WORD>& t, WORD value) { t.push_back(value); }
void PutText(std::vector<WORD>& t, const wchar_t* text) {
  do t.push_back(static_cast<WORD>(*text)); while (*text++);
}
void PutDword(std::vector<WORD>& t, DWORD value) {
  Put(t, LOWORD(value));
  Put(t, HIWORD(value));
}
// Each item template starts on a DWORD boundary.
void Align(std::vector<WORD>& t) {
  if (t.size() % 2) t.push_back(0);
}

std::vector<WORD> Template() {
  std::vector<WORD> t;
  // IDD_OS_PAGE's style, size and font (9 pt SimSun, as Oriel's templates ask).
  PutDword(t, DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU);  // style
  PutDword(t, 0);                                                                            // extended style
  Put(t, 1);                                                                                 // items
  Put(t, 0); Put(t, 0); Put(t, 251); Put(t, 190);                                            // x, y, cx, cy
  Put(t, 0);                                                                                 // no menu
  Put(t, 0);                                                                                 // default class
  PutText(t, L"Floor Dialog");
  Put(t, 9);
  PutText(t, L"\u5B8B\u4F53");

  Align(t);
  PutDword(t, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON);
  PutDword(t, 0);
  Put(t, 131); Put(t, 157); Put(t, 50); Put(t, 14);
  Put(t, IDOK);
  Put(t, 0xFFFF); Put(t, 0x0080);  // button class by atom
  PutText(t, L"OK");
  Put(t, 0);                       // no creation data
  return t;
}

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
  const std::vector<WORD> t = Template();
  DialogBoxIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(t.data()), nullptr, DialogProc, 0);
  return 0;
}
