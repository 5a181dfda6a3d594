#include "pages/port_page.h"

#include <exception>

#include "app/context.h"
#include "install/installer.h"
#include "pages/create_port_dialog.h"
#include "pages/logic/port_rows.h"
#include "pages/port_list_view.h"
#include "pages/settings_page.h"
#include "resources/resource.h"

namespace oriel {

PortPage::PortPage() : DialogPage(IDD_PORT_PAGE) {}

bool PortPage::OnInitDialog() {
  progress_ = ProgressItem(IDC_PORT_PROGRESS);
  portList_ = ListViewItem(IDC_PORT_LIST);
  portList_.InsertColumn(0, "Port");
  portList_.InsertColumn(1, "Type");
  portList_.SetColumnWidth(0, 150);
  portList_.SetColumnWidth(1, 280);
  FillPortList();
  progress_.SetRange(0, 100);
  progress_.SetPos(0);
  return true;
}

void PortPage::FillPortList() {
  ShowPortListing(portList_, ListPorts(Services().spooler, Services().system));
}

void PortPage::OnButton(int id) {
  switch (id) {
    case IDC_PORT_CREATE: OnCreatePort(); break;
    case IDC_PORT_CONFIGURE: OnConfigurePort(); break;
    case IDC_PORT_INSTALL: OnInstall(); break;
    case IDC_PORT_BACK: EndDialog(IDCANCEL); break;
    case IDC_PORT_CANCEL: OnCancel(); break;
    default: break;
  }
}

void PortPage::OnCreatePort() {
  {
    CreatePortDialog dialog;
    dialog.DoModal();  // whatever happened there, the list is rebuilt
  }
  portList_.DeleteAllItems();
  FillPortList();
}

void PortPage::OnConfigurePort() {
  const int row = portList_.FindFirstSelected();
  if (row < 0) return;
  Services().spooler.ConfigurePort(hwnd_, portList_.GetItemText(row, 0));
}

void PortPage::OnInstall() {
  // A printer on no port is of no use: Windows refuses it only after the
  // files are copied, Wine creates it. Nothing is done until a port is chosen.
  const int row = portList_.FindFirstSelected();
  if (row < 0) {
    win32::ShowMessage(hwnd_, L"Choose the port the printer is connected to, or create one with \"Create "
                              L"Port...\", then press Install.");
    return;
  }
  chosenPort_ = portList_.GetItemText(row, 0);
  const InstallVariant& variant = Services().system.QueryWow64Flag() == 1 ? kVariant64 : kVariant32;
  // Caught here rather than at the window procedure, so the settings page
  // can say the installation stopped instead of guessing why the page ended.
  try {
    if (SettingsPage* settings = Context().settingsPage) settings->RunInstaller(variant, progress_, hwnd_);
  } catch (const std::exception& error) {
    installError_ = win32::WideFromAnsi(error.what());
    EndDialog(-1);
    return;
  } catch (...) {
    installError_ = std::wstring();
    EndDialog(-1);
    return;
  }
  EndDialog(IDOK);
}

}  // namespace oriel
