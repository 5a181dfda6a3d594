#include "pages/installation.h"

#include "app/context.h"
#include "catalogue/tables.h"
#include "pages/logic/install_messages.h"
#include "pages/logic/os_kind.h"
#include "pages/logic/spooler_messages.h"
#include "pages/port_page.h"
#include "platform/win32/toolkit/messages.h"

namespace oriel {

namespace {

class ProgressBarSink final : public InstallProgress {
 public:
  explicit ProgressBarSink(win32::ProgressBar bar) : bar_(bar) {}
  void SetPosition(int percent) override {
    bar_.SetPos(percent);
    // The installation holds the thread; paint now so the bar really moves.
    ::UpdateWindow(bar_.Handle());
  }

 private:
  win32::ProgressBar bar_;
};

class MessageBoxNotifier final : public InstallNotifier {
 public:
  explicit MessageBoxNotifier(HWND owner) : owner_(owner) {}
  void RegistryWriteFailed() override { win32::ShowMessage(owner_, L"错误：无法设置有关的注册表信息"); }
  bool AskToStopManagedDefault(std::string_view printerName, std::string_view accountName) override {
    return win32::AskYesNo(owner_, win32::WideFromAnsi(DefaultPrinterQuestion(printerName, accountName)));
  }

 private:
  HWND owner_;
};

}  // namespace

InstallOutcome RunInstallation(const InstallVariant& variant, const InstallInputs& inputs,
                               win32::ProgressBar progress, HWND messageOwner) {
  Platform& platform = Services();
  ProgressBarSink sink(progress);
  MessageBoxNotifier notifier(messageOwner);
  InstallServices services{platform.spooler, platform.registry, platform.files, platform.system, sink, notifier};
  return InstallPrinter(variant, inputs, Context().chosenPortName, services);
}

void ReportInstallation(HWND owner, const PortPage& portPage, INT_PTR portPageResult,
                        const std::optional<InstallOutcome>& outcome) {
  if (portPageResult != IDOK || !outcome) {
    // Only an installation that began can have left anything behind.
    const bool installStarted = portPage.InstallError().has_value();
    Outcome() = installStarted ? WizardOutcome::InstallFailed : WizardOutcome::NotInstalled;
    const std::string text = PortPageEndMessage(portPage.InstallError(), portPage.EndedOnInternalError());
    if (!text.empty()) win32::ShowMessage(owner, win32::WideFromAnsi(text));
    return;
  }
  if (!outcome->completed) {
    Outcome() = WizardOutcome::InstallFailed;
    win32::ShowMessage(owner, win32::WideFromAnsi(FailureMessage(*outcome, win32::SystemErrorText)) +
                                  win32::WideFromUtf8(ProgramFolderUnnamedParagraph(*outcome)));
    return;
  }
  if (!outcome->settingsNotWritten.empty()) {
    // A printer that is not the default, or lacks its serial settings, is
    // no "Completed!".
    Outcome() = WizardOutcome::InstalledWithoutSettings;
    win32::ShowMessage(owner, win32::WideFromAnsi(SettingsNotWrittenMessage(*outcome, win32::SystemErrorText)));
    return;
  }
  Outcome() = WizardOutcome::Installed;
  if (IsNtOsKind(Context().osKind)) win32::ShowMessage(owner, L"Completed!");
}

}  // namespace oriel
