#include "pages/create_port_dialog.h"

#include "app/context.h"
#include "pages/logic/monitor_rows.h"
#include "pages/logic/spooler_messages.h"
#include "platform/win32/toolkit/dpi.h"
#include "platform/win32/toolkit/messages.h"
#include "resources/resource.h"

namespace oriel {

CreatePortDialog::CreatePortDialog() : DialogPage(IDD_CREATE_PORT) {}

namespace {
constexpr int kMonitorColumnWidth = 340;  // pixels at 96 DPI
}  // namespace

bool CreatePortDialog::OnInitDialog() {
  monitorList_ = ListViewItem(IDC_CP_MONITORS);
  const MonitorListing monitors = ListMonitors(Services().spooler, Services().system);
  monitorList_.ApplyListStyle();
  monitorList_.InsertColumn(0, "Available Port Type");
  monitorList_.SetColumnWidth(0, win32::ScaledForDpi(kMonitorColumnWidth, win32::WindowDpi(hwnd_)));
  for (const std::string& name : monitors.rows) monitorList_.InsertItem(monitorList_.GetItemCount(), name);
  monitorList_.SelectWithoutFocus(0);
  if (monitors.error != 0) {
    win32::ShowMessage(hwnd_, win32::WideFromAnsi(ListFailureMessage("list of port types", "EnumMonitorsA",
                                                                     monitors.error, win32::SystemErrorText)));
  }
  return true;
}

void CreatePortDialog::OnDpiChanged(UINT dpi) {
  monitorList_.SetColumnWidth(0, win32::ScaledForDpi(kMonitorColumnWidth, dpi));
}

void CreatePortDialog::OnButton(int id) {
  if (id == IDC_CP_CLOSE) {
    EndDialog(IDCANCEL);
  } else if (id == IDC_CP_NEW_PORT) {
    const int row = monitorList_.FindFirstSelected();
    if (row < 0) return;
    const std::string monitor = monitorList_.GetItemText(row, 0);
    // Wine 8 (measured): "Local Port" shows "Add a Local Port", TRUE on OK
    // (with a stale 122 as last error), FALSE with 1223 on Cancel; an unknown
    // monitor fails with 50 at once. A cancel needs no message.
    const std::string message =
        AddPortFailureMessage(monitor, Services().spooler.AddPort(hwnd_, monitor), win32::SystemErrorText);
    if (!message.empty()) win32::ShowMessage(hwnd_, win32::WideFromAnsi(message));
  }
}

}  // namespace oriel
