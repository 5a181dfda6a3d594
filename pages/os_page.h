#pragma once
#include "platform/win32/toolkit/dialog_page.h"

namespace oriel {

// First page: shows the detected Windows version. The buttons only display the
// detection; which one the user marks is never read.
class OsPage : public win32::DialogPage {
 public:
  OsPage();

 protected:
  bool OnInitDialog() override;
  void OnButton(int id) override;
  bool OnPaint() override;
};

}  // namespace oriel
