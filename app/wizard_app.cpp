// The application object, its start routine and the process-wide values.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "app/context.h"
#include "pages/os_page.h"
#include "pages/settings_page.h"
#include "platform/win32/runtime/system_library.h"
#include "platform/win32/services/files.h"
#include "platform/win32/services/registry.h"
#include "platform/win32/services/service_control.h"
#include "platform/win32/services/spooler.h"
#include "platform/win32/services/system.h"

namespace oriel {

namespace {

win32::Win32Spooler spooler;
win32::Win32Registry registry;
win32::Win32FileSystem files;
win32::Win32System systemServices;
win32::Win32SpoolerService spoolerService;

}  // namespace

InstallContext& Context() {
  static InstallContext context;
  return context;
}

Platform& Services() {
  static Platform platform{spooler, registry, files, systemServices, spoolerService};
  return platform;
}

WizardOutcome& Outcome() {
  static WizardOutcome outcome = WizardOutcome::NotInstalled;
  return outcome;
}

class WizardApp {
 public:
  // Runs the page sequence. Returns 0: there is no message loop of our own.
  int InitInstance() {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES |
                                                        ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
    ::InitCommonControlsEx(&controls);

    OsPage osPage;
    INT_PTR result = osPage.DoModal();
    while (result == IDOK) {
      INT_PTR settingsResult;
      {
        SettingsPage settingsPage;
        settingsResult = settingsPage.DoModal();
      }
      if (settingsResult != IDCANCEL) break;
      result = osPage.DoModal();
    }
    return 0;
  }
};

WizardApp theApp;

}  // namespace oriel

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  oriel::win32::RestrictDllSearch();
  oriel::theApp.InitInstance();
  return static_cast<int>(oriel::Outcome());
}
