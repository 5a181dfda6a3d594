// The floors' one dialog, from an in-memory template with the OS page's
// style, size and font (9 pt SimSun, as Oriel's templates ask) and one
// default push button, so that a ratio measures Oriel's own code. The install
// floor has the port page's size and progress bar (kProgressId), which it
// paints at the same milestones.
#pragma once

#include <windows.h>

#include <vector>

namespace floor_template {

inline void Put(std::vector<WORD>& t, WORD value) { t.push_back(value); }
inline void PutText(std::vector<WORD>& t, const wchar_t* text) {
  do t.push_back(static_cast<WORD>(*text)); while (*text++);
}
inline void PutDword(std::vector<WORD>& t, DWORD value) {
  Put(t, LOWORD(value));
  Put(t, HIWORD(value));
}
// Each item template starts on a DWORD boundary.
inline void Align(std::vector<WORD>& t) {
  if (t.size() % 2) t.push_back(0);
}

constexpr WORD kProgressId = 100;

inline std::vector<WORD> Dialog(const wchar_t* title, const wchar_t* button, bool withProgress = false) {
  std::vector<WORD> t;
  PutDword(t, DS_SETFONT | DS_MODALFRAME | DS_3DLOOK | WS_POPUP | WS_CAPTION | WS_SYSMENU);  // style
  PutDword(t, 0);                                                                            // extended style
  Put(t, withProgress ? 2 : 1);                                                              // items
  Put(t, 0); Put(t, 0);                                                                      // x, y
  Put(t, withProgress ? 320 : 251); Put(t, withProgress ? 214 : 190);                        // the port page's size
  Put(t, 0);                                                                                 // no menu
  Put(t, 0);                                                                                 // default class
  PutText(t, title);
  Put(t, 9);
  PutText(t, L"\u5B8B\u4F53");

  Align(t);
  PutDword(t, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON);
  PutDword(t, 0);
  Put(t, 131); Put(t, 157); Put(t, 50); Put(t, 14);
  Put(t, IDOK);
  Put(t, 0xFFFF); Put(t, 0x0080);  // button class by atom
  PutText(t, button);
  Put(t, 0);                       // no creation data

  if (withProgress) {
    Align(t);
    PutDword(t, WS_CHILD | WS_VISIBLE | WS_BORDER);
    PutDword(t, 0);
    Put(t, 7); Put(t, 164); Put(t, 306); Put(t, 11);  // the port page's bar
    Put(t, kProgressId);
    PutText(t, L"msctls_progress32");
    Put(t, 0);
    Put(t, 0);
  }
  return t;
}

}  // namespace floor_template
