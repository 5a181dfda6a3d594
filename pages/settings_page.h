#pragma once
#include <optional>

#include "install/installer.h"
#include "platform/win32/toolkit/dialog_page.h"
#include "platform/win32/toolkit/dpi.h"

namespace oriel {

// Second page: model, default-printer choice, and the hidden serial section.
// The port page's Install runs the installation through this page, with the
// choices its controls hold.
class SettingsPage : public win32::DialogPage {
 public:
  SettingsPage();

  // Called by the port page's Install while this page is open beneath it.
  void RunInstaller(const InstallVariant& variant, win32::ProgressBar progress, HWND messageOwner);

 protected:
  bool OnInitDialog() override;
  void OnCancel() override { OnOK(); }  // Exit, Escape and the close box end the wizard
  void OnButton(int id) override;
  void OnSelChange(int id) override;
  bool OnSysCommand(UINT command) override;
  bool OnPaint() override;
  HICON OnQueryDragIcon() override { return bigIcon_.Handle(); }
  void OnDpiChanged(UINT dpi) override { SetCaptionIcons(dpi); }

 private:
  void OnNext();
  void OnModelChange();
  void OnPortChange();
  void EnableSerialLists(bool enable);
  InstallInputs Choices() const;

  // The caption and taskbar take each at its own size for the window's DPI;
  // the minimised window and dragging show the big one.
  void SetCaptionIcons(UINT dpi);
  win32::ApplicationIcon bigIcon_;
  win32::ApplicationIcon smallIcon_;
  win32::ComboBox modelList_;
  win32::ComboBox portList_;
  // baud rate, data bits, stop bits, parity, flow control
  win32::ComboBox serialLists_[5];
  std::optional<InstallOutcome> outcome_;
};

}  // namespace oriel
