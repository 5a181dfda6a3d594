#pragma once
// Thin wrappers over the dialog controls: one short method per message, no
// state beyond the handle. Texts are 8-bit in the system code page (the A
// messages), because that is what flows to and from the spooler.
#include <windows.h>
#include <commctrl.h>

#include <string>

namespace oriel::win32 {

class Window {
 public:
  Window() = default;
  explicit Window(HWND hwnd) : hwnd_(hwnd) {}
  HWND Handle() const { return hwnd_; }
  void Attach(HWND hwnd) { hwnd_ = hwnd; }
  explicit operator bool() const { return hwnd_ != nullptr; }
  LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
    return ::SendMessageA(hwnd_, message, wParam, lParam);
  }
  void Enable(bool enable) const { ::EnableWindow(hwnd_, enable ? TRUE : FALSE); }
  void SetText(const std::string& text) const { ::SetWindowTextA(hwnd_, text.c_str()); }

 protected:
  HWND hwnd_ = nullptr;
};

// The wait cursor while the thread is busy and handles no messages.
class WaitCursor {
 public:
  WaitCursor() : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() { ::SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

class ComboBox : public Window {
 public:
  using Window::Window;
  int GetCurSel() const { return static_cast<int>(Send(CB_GETCURSEL)); }
  void SetCurSel(int index) const { Send(CB_SETCURSEL, static_cast<WPARAM>(index)); }
  void ResetContent() const { Send(CB_RESETCONTENT); }
  void AddString(const std::string& text) const {
    Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
};

class Button : public Window {
 public:
  using Window::Window;
  bool IsChecked() const { return Send(BM_GETCHECK) == BST_CHECKED; }
  void SetCheck(int state) const { Send(BM_SETCHECK, static_cast<WPARAM>(state)); }
};

class ProgressBar : public Window {
 public:
  using Window::Window;
  void SetRange(int low, int high) const { Send(PBM_SETRANGE, 0, MAKELPARAM(low, high)); }
  void SetPos(int position) const { Send(PBM_SETPOS, static_cast<WPARAM>(position)); }
};

class ListView : public Window {
 public:
  using Window::Window;
  DWORD GetExtendedStyle() const { return static_cast<DWORD>(Send(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
  // A zero mask makes the value replace every extended style bit.
  void SetExtendedStyle(DWORD style) const { Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, style); }
  void InsertColumn(int index, const std::string& heading) const;
  void SetColumnWidth(int index, int width) const {
    Send(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(index), MAKELPARAM(width, 0));
  }
  int InsertItem(int index, const std::string& text) const;
  void SetItemText(int index, int subItem, const std::string& text) const;
  // Column text of any length.
  std::string GetItemText(int index, int subItem) const;
  int GetItemCount() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
  UINT GetItemState(int index, UINT mask) const {
    return static_cast<UINT>(Send(LVM_GETITEMSTATE, static_cast<WPARAM>(index), mask));
  }
  void SetItemState(int index, UINT state, UINT mask) const;
  void DeleteAllItems() const { Send(LVM_DELETEALLITEMS); }
  // First selected row, testing rows while the index is below the current
  // count (read again each step); -1 when none.
  int FindFirstSelected() const;
  // Selected, not focused, as the port and monitor lists preselect.
  void SelectWithoutFocus(int index) const { SetItemState(index, LVIS_SELECTED, LVIS_SELECTED | LVIS_FOCUSED); }
  // Read, clear track-select, set grid lines and full-row select, write back.
  void ApplyListStyle() const;
};

}  // namespace oriel::win32
