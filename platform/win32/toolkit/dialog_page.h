#pragma once
// Modal dialog pages built from templates. A page overrides only what it
// handles; everything else gets the dialog manager's default processing.
#include <windows.h>

#include <span>

#include "platform/win32/toolkit/controls.h"
#include "resources/initial_lists.h"

namespace oriel::win32 {

class DialogPage : public Window {
 public:
  // No owner window. initialLists: items appended to the template's
  // drop-down lists before OnInitDialog, as the template's own data.
  explicit DialogPage(int templateId, std::span<const InitialListItem> initialLists = {});
  virtual ~DialogPage() = default;
  DialogPage(const DialogPage&) = delete;
  DialogPage& operator=(const DialogPage&) = delete;

  // 1 accepted, 2 cancelled, -1 when the window could not be created. Runs
  // over the window active at that moment, which stays disabled meanwhile.
  INT_PTR DoModal();
  // The last run ended on an exception that the page has reported already.
  bool EndedOnInternalError() const { return endedOnInternalError_; }

 protected:
  // After the template's initial lists are applied. true: the dialog manager
  // gives the focus to the first tab stop.
  virtual bool OnInitDialog() { return true; }
  virtual void OnOK() { EndDialog(IDOK); }          // command 1: Enter, no push button focused
  virtual void OnCancel() { EndDialog(IDCANCEL); }  // command 2: Escape, close box
  virtual void OnButton(int /*id*/) {}
  virtual void OnSelChange(int /*id*/) {}
  // Return false to leave the message to default processing.
  virtual bool OnSysCommand(UINT /*command*/) { return false; }
  virtual bool OnPaint() { return false; }
  virtual HICON OnQueryDragIcon() { return nullptr; }
  // WM_DPICHANGED (per-monitor v2): the dialog manager rescales the dialog
  // and its fonts afterwards; what the page sized in pixels is its own.
  virtual void OnDpiChanged(UINT /*dpi*/) {}
  // WM_QUERYENDSESSION: false asks Windows not to end the session now.
  virtual bool OnQueryEndSession() { return true; }
  // WM_ENDSESSION: ending is its wParam. Windows may end the process any
  // time after it returns.
  virtual void OnEndSession(bool /*ending*/) {}

  void EndDialog(INT_PTR result);
  HWND Item(int id) const { return ::GetDlgItem(hwnd_, id); }
  ComboBox ComboItem(int id) const { return ComboBox(Item(id)); }
  Button ButtonItem(int id) const { return Button(Item(id)); }
  ListView ListViewItem(int id) const { return ListView(Item(id)); }
  ProgressBar ProgressItem(int id) const { return ProgressBar(Item(id)); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void ApplyInitialLists();

  int templateId_;
  std::span<const InitialListItem> initialLists_;
  bool endedOnInternalError_ = false;
};

}  // namespace oriel::win32
