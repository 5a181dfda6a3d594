#include "pages/installation.h"

#include "app/context.h"
#include "catalogue/tables.h"
#include "pages/logic/install_messages.h"
#include "pages/logic/os_kind.h"
#include "pages/logic/spooler_messages.h"
#include "pages/port_page.h"
#include "platform/win32/toolkit/background_work.h"
#include "platform/win32/toolkit/messages.h"

namespace oriel {

namespace {

// Called from the installation's own thread: the bar belongs to the page's
// thread, which paints it between the messages it answers.
class ProgressBarSink final : public InstallProgress {
 public:
  explicit ProgressBarSink(win32::ProgressBar bar) : bar_(bar) {}
  void SetPosition(int percent) override {
    bar_.SetPos(percent);
    // Where the installation holds the page's thread (no thread of its own
    // could be made), paint now so the bar really moves.
    if (::GetWindowThreadProcessId(bar_.Handle(), nullptr) == ::GetCurrentThreadId()) ::UpdateWindow(bar_.Handle());
  }

 private:
  win32::ProgressBar bar_;
};

// The boxes belong to the page's thread and are owned by the page; the
// installation waits for the answer. Once Windows ends the session nothing
// is shown, and the question gets the answer that changes least.
class MessageBoxNotifier final : public InstallNotifier {
 public:
  explicit MessageBoxNotifier(HWND owner) : owner_(owner) {}
  void RegistryWriteFailed() override {
    win32::RunOnDialogThread(owner_, [&] {
      if (!SessionEnded()) win32::ShowMessage(owner_, L"错误：无法设置有关的注册表信息");
    });
  }
  bool AskToStopManagedDefault(std::string_view printerName, std::string_view accountName) override {
    bool yes = false;
    win32::RunOnDialogThread(owner_, [&] {
      if (!SessionEnded()) {
        yes = win32::AskYesNo(owner_, win32::WideFromAnsi(DefaultPrinterQuestion(printerName, accountName)));
      }
    });
    return yes;
  }

 private:
  static bool SessionEnded() { return Context().portPage != nullptr && Context().portPage->SessionEnded(); }
  HWND owner_;
};

}  // namespace

InstallOutcome RunInstallation(const InstallVariant& variant, const InstallInputs& inputs,
                               win32::ProgressBar progress, HWND messageOwner) {
  // Made here, on the page's thread: static locals are not made thread-safe.
  Platform& platform = Services();
  std::string& chosenPortName = Context().chosenPortName;
  ProgressBarSink sink(progress);
  MessageBoxNotifier notifier(messageOwner);
  InstallServices services{platform.spooler, platform.registry, platform.files, platform.system, sink, notifier};
  // The spooler calls "might not return immediately" (AddPrinterDriver's
  // Remarks), and copies wait on the disk and on scanners: the page answers
  // meanwhile, so Windows never marks it "Not Responding".
  // https://learn.microsoft.com/en-us/windows/win32/printdocs/addprinterdriver
  InstallOutcome outcome;
  win32::RunWhileAnswering(messageOwner,
                           [&] { outcome = InstallPrinter(variant, inputs, chosenPortName, services); });
  return outcome;
}

void ReportInstallation(HWND owner, const PortPage& portPage, INT_PTR portPageResult,
                        const std::optional<InstallOutcome>& outcome) {
  // While Windows ends the session the outcome still makes the exit status.
  const auto show = [&](const std::wstring& text) {
    if (!portPage.SessionEnded()) win32::ShowMessage(owner, text);
  };
  if (portPageResult != IDOK || !outcome) {
    // Only an installation that began can have left anything behind.
    const bool installStarted = portPage.InstallError().has_value();
    Outcome() = installStarted ? WizardOutcome::InstallFailed : WizardOutcome::NotInstalled;
    const std::string text = PortPageEndMessage(portPage.InstallError(), portPage.EndedOnInternalError());
    if (!text.empty()) show(win32::WideFromAnsi(text));
    return;
  }
  if (!outcome->completed) {
    Outcome() = WizardOutcome::InstallFailed;
    show(win32::WideFromAnsi(FailureMessage(*outcome, win32::SystemErrorText)) +
         win32::WideFromUtf8(ProgramFolderUnnamedParagraph(*outcome)));
    return;
  }
  if (!outcome->settingsNotWritten.empty()) {
    // A printer that is not the default, or lacks its serial settings, is
    // no "Completed!".
    Outcome() = WizardOutcome::InstalledWithoutSettings;
    show(win32::WideFromAnsi(SettingsNotWrittenMessage(*outcome, win32::SystemErrorText)));
    return;
  }
  Outcome() = WizardOutcome::Installed;
  if (IsNtOsKind(Context().osKind)) show(L"Completed!");
}

}  // namespace oriel
