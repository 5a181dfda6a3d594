#include "pages/port_page.h"

#include <exception>

#include "app/context.h"
#include "install/installer.h"
#include "pages/create_port_dialog.h"
#include "pages/logic/port_rows.h"
#include "pages/logic/spooler_messages.h"
#include "pages/logic/spooler_start.h"
#include "pages/port_list_view.h"
#include "pages/settings_page.h"
#include "platform/win32/runtime/system_library.h"
#include "platform/win32/toolkit/background_work.h"
#include "platform/win32/toolkit/dpi.h"
#include "platform/win32/toolkit/messages.h"
#include "resources/resource.h"

namespace oriel {

PortPage::PortPage() : DialogPage(IDD_PORT_PAGE) {}

bool PortPage::OnInitDialog() {
  progress_ = ProgressItem(IDC_PORT_PROGRESS);
  portList_ = ListViewItem(IDC_PORT_LIST);
  portList_.InsertColumn(0, "Port");
  portList_.InsertColumn(1, "Type");
  SetColumnWidths(win32::WindowDpi(hwnd_));
  FillPortList();
  progress_.SetRange(0, 100);
  progress_.SetPos(0);
  return true;
}

// The widths are pixels at 96 DPI; the dialog's own units grow with the DPI.
void PortPage::SetColumnWidths(UINT dpi) {
  portList_.SetColumnWidth(0, win32::ScaledForDpi(150, dpi));
  portList_.SetColumnWidth(1, win32::ScaledForDpi(280, dpi));
}

// A spooler that does not answer leaves the list empty; the user is told why
// rather than asked to choose from nothing, and may have it started.
void PortPage::FillPortList() {
  PortListing listing = ListPorts(Services().spooler, Services().system);
  bool startedNow = false;
  if (SpoolerDoesNotAnswer(listing.error)) {
    switch (OfferToStartSpooler(listing)) {
      case SpoolerOffer::Started: startedNow = true; break;
      case SpoolerOffer::Failed: listing.error = 0; break;  // its own message said why
      case SpoolerOffer::Declined: break;
    }
  }
  ShowPortListing(portList_, listing);
  if (listing.error != 0) {
    win32::ShowMessage(hwnd_,
                       win32::WideFromAnsi(PortListFailureMessage(listing.error, startedNow, win32::SystemErrorText)));
  }
}

PortPage::SpoolerOffer PortPage::OfferToStartSpooler(PortListing& listing) {
  SpoolerService& service = Services().spoolerService;
  SystemServices& system = Services().system;
  const SpoolerStartOffer offer = OfferSpoolerStart(service);
  // The page's set-up runs before the dialog manager shows it; the question
  // and the wait belong over the page.
  if (!::IsWindowVisible(hwnd_)) ::ShowWindow(hwnd_, SW_SHOW);
  if (!win32::AskYesNo(hwnd_, win32::WideFromAnsi(offer.question))) return SpoolerOffer::Declined;
  SpoolerStart start(service, system, offer.disabled);
  std::optional<SpoolerStartFailure> failure;
  {
    struct Starting {
      PortPage& page;
      Starting(PortPage& starting, SpoolerStart& start) : page(starting) {
        page.spoolerStart_ = &start;
        page.ShowStartingSpooler(true);
      }
      ~Starting() {
        page.spoolerStart_ = nullptr;
        page.ShowStartingSpooler(false);
      }
    } starting(*this, start);
    // The start may take many seconds, spent in the service control manager.
    win32::RunWhileAnswering(hwnd_, [&] {
      failure = start.Run();
      if (!failure) listing = ListPortsAfterStart(Services().spooler, system);
    });
  }
  if (!failure) return SpoolerOffer::Started;
  // No message box while Windows ends the session.
  if (failure->kind != SpoolerStartFailure::Kind::SessionEnding) {
    win32::ShowMessage(hwnd_, win32::WideFromAnsi(SpoolerStartFailureMessage(*failure, win32::SystemErrorText)));
  }
  return SpoolerOffer::Failed;
}

// Before comctl32 6.10 a list view has no empty text of its own; a row says
// it instead, its words in the wide column.
void PortPage::ShowStartingSpooler(bool starting) {
  portList_.DeleteAllItems();
  if (starting) {
    portList_.SetItemText(portList_.InsertItem(0, "Please wait..."), 1, "Starting the Print Spooler service");
  }
}

// Put back before Windows may end the process. An installation is let
// finish first, its questions answered by what changes least, rather than
// be cut off between its spooler calls.
void PortPage::OnEndSession(bool ending) {
  if (!ending) return;
  if (spoolerStart_ != nullptr) spoolerStart_->SessionEnding();
  if (installing_) {
    sessionEnded_ = true;
    win32::FinishWorkOver(hwnd_);
  }
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
  const std::string port = portList_.GetItemText(row, 0);
  // Wine 8 (measured): COM ports return TRUE at once without a dialog; LPT
  // ports show "Configure LPT Port", TRUE on OK and FALSE with 1223 on Cancel;
  // FILE: shows a "Local Port" note and returns FALSE with 1223 either way;
  // an unknown port fails with 50. Only a refusal that is no cancel is shown.
  const std::string message =
      ConfigurePortFailureMessage(port, Services().spooler.ConfigurePort(hwnd_, port), win32::SystemErrorText);
  if (!message.empty()) win32::ShowMessage(hwnd_, win32::WideFromAnsi(message));
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
  // Once files are copied and the spooler called, stopping halfway leaves a
  // driver without its printer. So, as Windows' own installers do in their
  // irreversible part, the page refuses to close until the end: the close
  // box is greyed and Escape and Alt+F4 do nothing (RunWhileAnswering), and
  // Windows is asked not to end the session meanwhile, with the reason it
  // shows the user (Vista and later):
  // https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-shutdownblockreasoncreate
  struct Installing {
    HWND page;
    bool& flag;
    Installing(HWND window, bool& installing) : page(window), flag(installing) {
      flag = true;
      if (auto create = ORIEL_SYSTEM_FUNCTION(win32::SystemModule(L"user32.dll"), ShutdownBlockReasonCreate)) {
        create(page, L"Oriel is installing a printer driver.");
      }
    }
    ~Installing() {
      flag = false;
      if (auto destroy = ORIEL_SYSTEM_FUNCTION(win32::SystemModule(L"user32.dll"), ShutdownBlockReasonDestroy)) {
        destroy(page);
      }
    }
  };
  // Caught here rather than at the window procedure, so the settings page
  // can say the installation stopped instead of guessing why the page ended.
  try {
    const Installing installing(hwnd_, installing_);
    if (SettingsPage* settings = Context().settingsPage) settings->RunInstaller(variant, progress_, hwnd_);
  } catch (const std::exception& error) {
    installError_ = error.what();
    EndDialog(-1);
    return;
  } catch (...) {
    installError_ = std::string();
    EndDialog(-1);
    return;
  }
  EndDialog(IDOK);
}

}  // namespace oriel
