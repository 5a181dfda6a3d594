#include "pages/logic/install_messages.h"

#include "install/default_printer.h"
#include "pages/logic/error_hints.h"

namespace oriel {

namespace {

// The package's own folder name, which is what a technician copies.
std::string LastComponent(const std::string& path) {
  const std::size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string DescribeFailure(const InstallOutcome& outcome) {
  if (outcome.completed) return {};
  const std::string quoted = "\"" + outcome.subject + "\"";
  switch (outcome.step) {
    case InstallStep::None:
      return "The installation did not run. " + std::string(kOrielFault);
    case InstallStep::Selection:
      return "Oriel was asked to install a choice it has no entry for (" + outcome.subject + "). " +
             std::string(kOrielFault);
    case InstallStep::Processor:
      return "This PC's processor is " + outcome.subject + ". The driver packages hold printer drivers for 32-bit "
             "and 64-bit x86 Windows only, and Windows cannot run them here. Nothing was installed: an " +
             outcome.subject + " driver from the printer's maker is needed.";
    case InstallStep::ProtectedPrint:
      return "Windows protected print mode is on, so Windows accepts only its own printer drivers and would refuse "
             "this one. Nothing was installed.\n\nThe mode is turned off in Settings > Bluetooth & devices > "
             "Printers & scanners, or, where your administrator's policy turned it on, by that policy.";
    case InstallStep::DriverDirectory:
      if (outcome.error == 0) {
        return "The print spooler did not say where printer drivers go. Restart the Print Spooler service (in "
               "Services) or the PC, then run Oriel again.\n\nGetPrinterDriverDirectoryA gave an empty folder "
               "for " + quoted + ".";
      }
      if (outcome.error == kErrorInsufficientBuffer) {
        return "The folder where Windows keeps printer drivers has a longer name than Oriel can take (255 bytes, "
               "for " + quoted + "). " + std::string(kOrielFault);
      }
      return "The print spooler did not say where printer drivers go: GetPrinterDriverDirectoryA failed for " +
             quoted + ".";
    case InstallStep::PackageCheck: {
      const bool besideProgramToo = outcome.programFolderCheck || !outcome.programFolderUnnamed.empty();
      return "The driver package in " + quoted + (besideProgramToo ? ", the folder Oriel was started in," : "") +
             " is incomplete. Nothing was installed. Copy the complete \"" + LastComponent(outcome.subject) +
             "\" folder from the printer maker's download beside Oriel.exe, then run Oriel again.\n\n" +
             (outcome.noFileReadable ? "None of its files can be read:" : "These files are missing or cannot be read:");
    }
    case InstallStep::CopyFile:
      return "A driver file could not be copied into Windows' printer-driver folder. Copying " + quoted + " to \"" +
             outcome.destination + "\" failed.";
    case InstallStep::DriverRecord:
      return "The driver's list of files, with the module file " + quoted + ", is longer than Oriel can take (255 "
             "bytes). " + std::string(kOrielFault);
    case InstallStep::AddPrinterDriver:
      return "Windows did not take the printer driver. AddPrinterDriverA failed for " + quoted + ".";
    case InstallStep::AddPrinter:
      return "The driver was installed, but Windows did not create the printer. AddPrinterA failed for " + quoted +
             ".";
    case InstallStep::OpenPrinter:
      return "A printer named " + quoted + " exists already, and Oriel could not open it to move it to the chosen "
             "port. OpenPrinterA failed for it.";
    case InstallStep::GetPrinter:
      return "A printer named " + quoted + " exists already, and Oriel could not read its settings to move it to "
             "the chosen port. GetPrinterA failed for it.";
    case InstallStep::SetPrinter:
      return "A printer named " + quoted + " exists already, and Windows did not move it to the port \"" +
             outcome.destination + "\". SetPrinterA failed for it.";
  }
  return "The installation did not run. " + std::string(kOrielFault);
}

namespace {

// A folder where every file failed alike holds no package: one line says why.
std::string FileLines(const std::vector<UnreadableFile>& files, bool noFileReadable,
                      const SystemTextFunction& systemText) {
  if (noFileReadable) return "\n    " + systemText(files.front().error);
  std::string text;
  for (const UnreadableFile& file : files) text += "\n    " + file.name + ": " + systemText(file.error);
  return text;
}

std::string ProgramFolderParagraph(const PackageFolderCheck& check, const SystemTextFunction& systemText) {
  return "\n\nOriel also looked beside Oriel.exe, in \"" + check.folder + "\": " +
         (check.noFileReadable ? "none of the package's files can be read there:"
                               : "these files are missing or cannot be read there:") +
         FileLines(check.unreadable, check.noFileReadable, systemText);
}

// What the installation lacks for want of this value.
std::string LeftUndone(const std::string& valueName) {
  if (valueName == kDeviceValueName) return "It is not the default printer";
  if (valueName == kLegacyDefaultPrinterModeName) {
    return "It is not the default printer, and Windows still manages the default printer";
  }
  return "The serial settings of " + valueName + " are not set";
}

const char* RootKeyName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::CurrentUser: return "HKEY_CURRENT_USER";
    case RegistryRoot::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case RegistryRoot::Users: return "HKEY_USERS";
  }
  return "HKEY_CURRENT_USER";
}

// Plain words first; the calls and codes follow for the ticket.
std::string UnseenDriveParagraph(const std::string& drive) {
  return "Oriel cannot see the drive " + drive + ". A drive letter mapped to a network share in your session is not "
         "seen by a program run as administrator. Start Oriel.exe from the share's own path "
         "(\\\\server\\share\\...), or copy Oriel.exe and its package folders to this PC, then run Oriel "
         "again.\n\n";
}

constexpr std::string_view kProtectedPrintLikelyParagraph =
    "Windows refused the printer driver, most likely because Windows protected print mode is on: it accepts only "
    "Windows' own printer drivers, and Oriel could not find out whether it is on. Turn it off in Settings > "
    "Bluetooth & devices > Printers & scanners, or, where your administrator's policy turned it on, have that policy "
    "changed, then run Oriel again.\n\n";

}  // namespace

std::string FailureMessage(const InstallOutcome& outcome,
                           const SystemTextFunction& systemText) {
  if (outcome.completed) return {};
  std::string text = "The printer was not installed.\n\n";
  if (!outcome.unseenDrive.empty()) text += UnseenDriveParagraph(outcome.unseenDrive);
  if (outcome.step == InstallStep::AddPrinterDriver && outcome.protectedPrintUnknown) {
    text += kProtectedPrintLikelyParagraph;
  }
  text += DescribeFailure(outcome);
  if (!outcome.unreadable.empty()) text += FileLines(outcome.unreadable, outcome.noFileReadable, systemText);
  if (outcome.programFolderCheck && !outcome.programFolderCheck->unreadable.empty()) {
    text += ProgramFolderParagraph(*outcome.programFolderCheck, systemText);
  }
  if (outcome.error != 0) {
    const InstallSubject installation{outcome.packageFolder, outcome.environment, outcome.driverName};
    text += "\n\n" + SystemErrorParagraphs(outcome.error, systemText, &installation);
  }
  return text;
}

std::string ProgramFolderUnnamedParagraph(const InstallOutcome& outcome) {
  if (outcome.completed || outcome.programFolderUnnamed.empty()) return {};
  return "\n\nOriel could not look beside Oriel.exe, in \"" + outcome.programFolderUnnamed +
         "\": the file calls it uses take names in Windows' code page for non-Unicode programs, which cannot spell "
         "that folder's name, and the folder has no short (8.3) name to use instead. Start Oriel.exe in its own "
         "folder (double-click it there), or put Oriel.exe and its package in a folder whose name uses only "
         "letters of that code page.";
}

std::string SettingsNotWrittenMessage(const InstallOutcome& outcome, const SystemTextFunction& systemText) {
  if (!outcome.completed || outcome.settingsNotWritten.empty()) return {};
  std::string text = "The printer \"" + outcome.driverName + "\" was installed, but not all of its settings were "
                     "written. The printer can be used; what is missing below can be set in Windows' printer and "
                     "port settings, or by running Oriel again once its cause is fixed.\n";
  for (const SettingNotWritten& setting : outcome.settingsNotWritten) {
    text += "\n    " + LeftUndone(setting.valueName) + ": " + setting.call + " failed for \"" + setting.valueName +
            "\" in " + RootKeyName(setting.root) + "\\" + setting.keyPath + ". System error " +
            std::to_string(setting.error) + ": " + systemText(setting.error);
  }
  if (std::string hint = ErrorHint(outcome.settingsNotWritten.front().error); !hint.empty()) text += "\n\n" + hint;
  return text;
}

std::string DefaultPrinterQuestion(std::string_view printerName, std::string_view accountName) {
  std::string name;
  name.append("\"").append(printerName).append("\"");
  if (accountName.empty()) {
    return "Windows manages the default printer on this computer and makes the printer used last the "
           "default, so " + name + " would not stay the default printer.\n\nSetting " + name +
           " as the default printer means Windows will stop managing your default printer. Set it as the default "
           "printer?";
  }
  const std::string account(accountName);
  return "Windows manages the default printer of " + account + " on this computer and makes the printer used "
         "last the default, so " + name + " would not stay the default printer.\n\nSetting " + name +
         " as the default printer of " + account + " means Windows will stop managing that account's default "
         "printer. Set it as the default printer of " + account + "?";
}

}  // namespace oriel
