#pragma once
#include "platform/win32/toolkit/dialog_page.h"
#include "resources/resource.h"

namespace oriel {

class AboutBox : public win32::DialogPage {
 public:
  AboutBox() : DialogPage(IDD_ABOUT_BOX) {}
};

}  // namespace oriel
