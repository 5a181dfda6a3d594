#include "pages/settings_page.h"

#include <memory>

#include "app/context.h"
#include "catalogue/descrambler.h"
#include "catalogue/tables.h"
#include "pages/about_box.h"
#include "pages/installation.h"
#include "pages/port_page.h"
#include "platform/win32/toolkit/dpi.h"
#include "resources/resource.h"

namespace oriel {

namespace {

// The port page of the latest Next: it must outlive its modal run, because its
// chosen port is read after it closes. A later Next releases it.
std::unique_ptr<PortPage> latestPortPage;

}  // namespace

SettingsPage::SettingsPage()
    : DialogPage(IDD_SETTINGS_PAGE, kSettingsInitialLists) {}

void SettingsPage::SetCaptionIcons(UINT dpi) {
  win32::ApplicationIcon big(win32::SystemMetricForDpi(SM_CXICON, dpi));
  win32::ApplicationIcon small(win32::SystemMetricForDpi(SM_CXSMICON, dpi));
  Send(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Handle()));
  Send(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Handle()));
  // The window no longer holds the old ones, which go now.
  bigIcon_ = std::move(big);
  smallIcon_ = std::move(small);
}

bool SettingsPage::OnInitDialog() {
  if (HMENU menu = ::GetSystemMenu(hwnd_, FALSE)) {
    wchar_t* text = nullptr;
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), IDS_ABOUT_ITEM, reinterpret_cast<wchar_t*>(&text), 0);
    if (length > 0 && text != nullptr) {
      const std::wstring item(text, static_cast<size_t>(length));
      ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
      ::AppendMenuW(menu, MF_STRING, IDM_ABOUT_BOX, item.c_str());
    }
  }
  SetCaptionIcons(win32::WindowDpi(hwnd_));

  modelList_ = ComboItem(IDC_SET_MODEL);
  modelList_.ResetContent();
  for (int row = 0; row < kModelCount; ++row) modelList_.AddString(DisplayText(row));
  modelList_.SetCurSel(1);
  ButtonItem(IDC_SET_DEFAULT).SetCheck(BST_CHECKED);
  ::SetDlgItemTextA(hwnd_, IDC_SET_NAME, DisplayText(kInitialPrinterNameEntry).c_str());

  portList_ = ComboItem(IDC_SET_PORT);
  serialLists_[0] = ComboItem(IDC_SET_BAUD);
  serialLists_[1] = ComboItem(IDC_SET_DATABITS);
  serialLists_[2] = ComboItem(IDC_SET_STOPBITS);
  serialLists_[3] = ComboItem(IDC_SET_PARITY);
  serialLists_[4] = ComboItem(IDC_SET_FLOW);
  const SerialSelection initial;
  portList_.SetCurSel(0);
  serialLists_[0].SetCurSel(initial.baud);
  serialLists_[1].SetCurSel(initial.dataBits);
  serialLists_[2].SetCurSel(initial.stopBits);
  serialLists_[3].SetCurSel(initial.parity);
  serialLists_[4].SetCurSel(initial.flow);
  EnableSerialLists(false);

  Context().settingsPage = this;
  return true;
}

void SettingsPage::OnButton(int id) {
  switch (id) {
    case IDC_SET_BACK: EndDialog(IDCANCEL); break;
    case IDC_SET_NEXT: OnNext(); break;
    case IDC_SET_EXIT: OnCancel(); break;
    default: break;  // the check box toggles itself
  }
}

void SettingsPage::OnSelChange(int id) {
  if (id == IDC_SET_MODEL) OnModelChange();
  else if (id == IDC_SET_PORT) OnPortChange();
}

void SettingsPage::OnModelChange() {
  const int row = modelList_.GetCurSel();
  if (row >= 0 && row < kModelCount) ::SetDlgItemTextA(hwnd_, IDC_SET_NAME, DisplayText(row).c_str());
}

void SettingsPage::OnPortChange() { EnableSerialLists(portList_.GetCurSel() >= kFirstComPortIndex); }

void SettingsPage::EnableSerialLists(bool enable) {
  for (const win32::ComboBox& list : serialLists_) list.Enable(enable);
}

bool SettingsPage::OnSysCommand(UINT command) {
  if ((command & 0xFFF0) != IDM_ABOUT_BOX) return false;
  AboutBox about;
  about.DoModal();
  return true;
}

bool SettingsPage::OnPaint() {
  if (!::IsIconic(hwnd_)) return false;
  PAINTSTRUCT paint;
  HDC dc = ::BeginPaint(hwnd_, &paint);
  Send(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc));
  const UINT dpi = win32::WindowDpi(hwnd_);
  const int iconWidth = win32::SystemMetricForDpi(SM_CXICON, dpi);
  const int iconHeight = win32::SystemMetricForDpi(SM_CYICON, dpi);
  RECT client;
  ::GetClientRect(hwnd_, &client);
  const int x = (client.right - client.left - iconWidth + 1) / 2;
  const int y = (client.bottom - client.top - iconHeight + 1) / 2;
  ::DrawIcon(dc, x, y, bigIcon_.Handle());
  ::EndPaint(hwnd_, &paint);
  return true;
}

void SettingsPage::OnNext() {
  latestPortPage = std::make_unique<PortPage>();
  Context().portPage = latestPortPage.get();
  outcome_.reset();
  const INT_PTR result = latestPortPage->DoModal();
  if (result == IDCANCEL) return;
  Context().chosenPortName = latestPortPage->ChosenPort();
  ReportInstallation(hwnd_, *latestPortPage, result, outcome_);
  OnOK();
}

InstallInputs SettingsPage::Choices() const {
  InstallInputs inputs;
  inputs.portIndex = portList_.GetCurSel();
  inputs.modelRow = modelList_.GetCurSel();
  inputs.setDefaultPrinter = ButtonItem(IDC_SET_DEFAULT).IsChecked();
  if (inputs.portIndex >= kFirstComPortIndex) {
    inputs.serial.baud = serialLists_[0].GetCurSel();
    inputs.serial.dataBits = serialLists_[1].GetCurSel();
    inputs.serial.stopBits = serialLists_[2].GetCurSel();
    inputs.serial.parity = serialLists_[3].GetCurSel();
    inputs.serial.flow = serialLists_[4].GetCurSel();
  }
  inputs.chosenPort = Context().portPage != nullptr ? Context().portPage->ChosenPort() : std::string();
  return inputs;
}

void SettingsPage::RunInstaller(const InstallVariant& variant, win32::ProgressBar progress, HWND messageOwner) {
  outcome_ = RunInstallation(variant, Choices(), progress, messageOwner);
}

}  // namespace oriel
