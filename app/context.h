#pragma once
// The process-wide values through which the pages and the installer reach one
// another, and the platform services they all use.
#include <string>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/spooler.h"
#include "platform/spooler_service.h"
#include "platform/system.h"

namespace oriel {

class SettingsPage;
class PortPage;

struct InstallContext {
  int osKind = 0;
  SettingsPage* settingsPage = nullptr;  // the page on screen while a port page runs
  PortPage* portPage = nullptr;          // the most recent port page
  std::string chosenPortName;
};

InstallContext& Context();

struct Platform {
  Spooler& spooler;
  Registry& registry;
  FileSystem& files;
  SystemServices& system;
  SpoolerService& spoolerService;
};

Platform& Services();

// How the wizard ended, for the process exit status. A deployment script
// tells a printer that is there but not set up as chosen (3) from none (2).
enum class WizardOutcome { NotInstalled = 1, Installed = 0, InstallFailed = 2, InstalledWithoutSettings = 3 };
WizardOutcome& Outcome();

}  // namespace oriel
