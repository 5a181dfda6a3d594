#pragma once
#include "platform/win32/toolkit/dialog_page.h"

namespace oriel {

// Lists the spooler's port monitors; New Port... lets the selected monitor add a port.
class CreatePortDialog : public win32::DialogPage {
 public:
  CreatePortDialog();

 protected:
  bool OnInitDialog() override;
  void OnButton(int id) override;
  void OnDpiChanged(UINT dpi) override;

 private:
  win32::ListView monitorList_;
};

}  // namespace oriel
