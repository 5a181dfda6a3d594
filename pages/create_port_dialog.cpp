#include "pages/create_port_dialog.h"

#include "app/context.h"
#include "pages/logic/monitor_rows.h"
#include "resources/resource.h"

namespace oriel {

CreatePortDialog::CreatePortDialog() : DialogPage(IDD_CREATE_PORT) {}

bool CreatePortDialog::OnInitDialog() {
  monitorList_ = ListViewItem(IDC_CP_MONITORS);
  const std::vector<std::string> monitors = ListMonitors(Services().spooler, Services().system);
  monitorList_.ApplyListStyle();
  monitorList_.InsertColumn(0, "Available Port Type");
  monitorList_.SetColumnWidth(0, 340);
  for (const std::string& name : monitors) monitorList_.InsertItem(monitorList_.GetItemCount(), name);
  monitorList_.SelectWithoutFocus(0);
  return true;
}

void CreatePortDialog::OnButton(int id) {
  if (id == IDC_CP_CLOSE) {
    EndDialog(IDCANCEL);
  } else if (id == IDC_CP_NEW_PORT) {
    const int row = monitorList_.FindFirstSelected();
    if (row >= 0) Services().spooler.AddPort(hwnd_, monitorList_.GetItemText(row, 0));
  }
}

}  // namespace oriel
