#include "pages/os_page.h"

#include "app/context.h"
#include "pages/logic/os_kind.h"
#include "resources/resource.h"

namespace oriel {

OsPage::OsPage() : DialogPage(IDD_OS_PAGE) {}

bool OsPage::OnInitDialog() {
  DetectOsKind(Services().system, Context().osKind);
  if (const int id = RadioButtonForOsKind(Context().osKind); id != 0) ButtonItem(id).SetCheck(BST_CHECKED);
  return true;
}

void OsPage::OnButton(int id) {
  if (id == IDC_OS_NEXT) OnOK();
  else if (id == IDC_OS_EXIT) OnCancel();
  // Back is hidden and disabled on this page and does nothing.
}

bool OsPage::OnPaint() {
  PAINTSTRUCT paint;
  ::BeginPaint(hwnd_, &paint);
  ::EndPaint(hwnd_, &paint);
  return true;
}

}  // namespace oriel
