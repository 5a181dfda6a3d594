/* The probe of scripts/wine_env.sh: a real 32-bit Windows program that shows
 * a dialog with text in it, as Oriel's first page does. It answers only when
 * it really is 32-bit and the dialog came up with a font that measures its
 * text: a Wine whose 32-bit side finds no FreeType, or a wrong loader that
 * finds none of its libraries, still runs a console program but fails here,
 * once, with its reason, rather than in every case after. */
#include <windows.h>
#include <stdio.h>
#include <string.h>

#define PROBE_TEXT 100
#define PROBE_DONE 32

static const wchar_t kText[] = L"32-bit code runs \x4E2D\x6587";

static void Fail(const char *what) {
  fprintf(stderr, "%s (error %lu)\n", what, GetLastError());
  fflush(stderr);
}

static INT_PTR CALLBACK ProbeDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  (void)wParam;
  (void)lParam;
  if (message != WM_INITDIALOG) return FALSE;
  HWND text = GetDlgItem(dialog, PROBE_TEXT);
  HFONT font = (HFONT)SendMessageW(dialog, WM_GETFONT, 0, 0);
  HDC dc = GetDC(text);
  SIZE size = {0, 0};
  if (dc != NULL) {
    if (font != NULL) SelectObject(dc, font);
    GetTextExtentPoint32W(dc, kText, (int)wcslen(kText), &size);
    ReleaseDC(text, dc);
  }
  wchar_t shown[64] = L"";
  GetWindowTextW(text, shown, 64);
  if (text == NULL || wcscmp(shown, kText) != 0) {
    Fail("the dialog's text control does not hold its text");
    EndDialog(dialog, 2);
  } else if (font == NULL || size.cx <= 0) {
    Fail("the dialog's font measures no text: no font is available");
    EndDialog(dialog, 3);
  } else {
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    EndDialog(dialog, PROBE_DONE);
  }
  return TRUE;
}

/* An in-memory template: DS_SETFONT asks for a named face, as Oriel's do. */
static WORD *Append(WORD *at, const wchar_t *text) {
  size_t length = wcslen(text) + 1;
  memcpy(at, text, length * sizeof(wchar_t));
  return at + length;
}

int main(void) {
  if (sizeof(void *) != 4) return 1;
  static DWORD storage[256];
  DLGTEMPLATE *dialog = (DLGTEMPLATE *)storage;
  dialog->style = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION;
  dialog->cdit = 1;
  dialog->cx = 160;
  dialog->cy = 40;
  WORD *at = (WORD *)(dialog + 1);
  *at++ = 0; /* no menu */
  *at++ = 0; /* the dialog class */
  at = Append(at, L"Oriel probe");
  *at++ = 9;
  at = Append(at, L"MS Shell Dlg");
  at = (WORD *)(((ULONG_PTR)at + 3) & ~(ULONG_PTR)3);
  DLGITEMTEMPLATE *item = (DLGITEMTEMPLATE *)at;
  item->style = WS_CHILD | WS_VISIBLE | SS_LEFT;
  item->x = 7;
  item->y = 7;
  item->cx = 146;
  item->cy = 12;
  item->id = PROBE_TEXT;
  at = (WORD *)(item + 1);
  *at++ = 0xFFFF;
  *at++ = 0x0082; /* static */
  at = Append(at, kText);
  *at++ = 0; /* no creation data */

  INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(NULL), dialog, NULL, ProbeDialog, 0);
  if (result == -1 || result == 0) {
    Fail("no dialog could be created");
    return 4;
  }
  if (result != PROBE_DONE) return (int)result;
  fputs("32-bit code runs and shows a dialog\n", stdout);
  return PROBE_DONE;
}
