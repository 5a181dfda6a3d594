#include "install/installer.h"

#include <algorithm>
#include <cstring>

namespace oriel {
namespace {

constexpr std::string_view kDriverPath = "\\uniDRV.DLL";
constexpr std::string_view kConfigFile = "\\uniDRVui.DLL";
constexpr std::string_view kHelpFile = "\\uniDRV.HLP";
constexpr std::string_view kDataType = "RAW";
constexpr std::string_view kPrintProcessor = "WinPrint";
constexpr std::uint32_t kDriverVersion = 2;
constexpr std::uint32_t kFinalPause = 500;

constexpr int kFirstComPortIndex = 3;
constexpr std::string_view kWindowsSection = "windows";
constexpr std::uint32_t kErrorInvalidHandle = 6;

// A package file in copy order, with the milestone reached after its copy
// (0: none). The shared ones follow the module and GPD copies (10 and 20).
struct PackageFile {
  std::string_view name;
  int milestone;
};
constexpr PackageFile kSharedFiles[] = {
    {"uniDRVui.DLL", 30}, {"uniDRV.DLL", 0},   {"UNIDRV.HLP", 40}, {"UNIRES.DLL", 0},
    {"TTFSUB.GPD", 50},   {"STDNAMES.GPD", 0}, {"RKUNI.ini", 0},   {"RKUNI.dll", 60},
};

bool InTable(int index, int count) { return index >= 0 && index < count; }

InstallOutcome Failed(InstallStep step, std::string subject, std::uint32_t error = 0) {
  InstallOutcome outcome;
  outcome.step = step;
  outcome.subject = std::move(subject);
  outcome.error = error;
  return outcome;
}

std::string Joined(std::string_view a, std::string_view b) {
  std::string text;
  text.reserve(a.size() + b.size());
  text.append(a).append(b);
  return text;
}

std::string PathIn(std::string_view folder, std::string_view name) {
  std::string path;
  path.reserve(folder.size() + 1 + name.size());
  path.append(folder).append("\\").append(name);
  return path;
}

// The first selection that lies outside its table, as "<list> <index>".
std::optional<std::string> SelectionOutsideTables(const InstallInputs& inputs, bool checkModelRow) {
  struct Check {
    const char* list;
    int index;
    int count;
  };
  const Check checks[] = {
      {"model row", checkModelRow ? inputs.modelRow : 0, kModelCount},
      {"port index", inputs.portIndex, kPortEntryCount},
      {"baud-rate index", inputs.serial.baud, kBaudRateCount},
      {"data-bits index", inputs.serial.dataBits, kDataBitsCount},
      {"stop-bits index", inputs.serial.stopBits, kStopBitsCount},
      {"parity index", inputs.serial.parity, kParityCount},
      {"flow-control index", inputs.serial.flow, kFlowControlCount},
  };
  for (const Check& check : checks) {
    if (!InTable(check.index, check.count)) return std::string(check.list) + " " + std::to_string(check.index);
  }
  return std::nullopt;
}

// Opens, sets, closes. A key that does not open is left alone without a word;
// a value that will not set is reported and the installation goes on. true
// when the value was written.
bool WriteRegistryText(Registry& registry, InstallNotifier& notifier, RegistryRoot root,
                       std::string_view path, std::string_view name, const std::string& text) {
  RegistryKey key = nullptr;
  if (registry.OpenForSetValue(root, std::string(path), key) != 0) return false;
  const bool written = registry.SetString(key, std::string(name), text) == 0;
  if (!written) notifier.RegistryWriteFailed();
  registry.Close(key);
  return written;
}

class Installation {
 public:
  Installation(const InstallVariant& variant, const ModelRow& row, const InstallInputs& inputs,
               std::string& chosenPortName, InstallServices& services)
      : variant_(variant), row_(row), inputs_(inputs), port_(chosenPortName), s_(services) {}

  InstallOutcome Run() {
    port_ = inputs_.chosenPort;

    if (auto failed = CheckPackage()) return *failed;
    if (auto failed = QueryDriverDirectory()) return *failed;
    if (auto failed = CopyFiles()) return *failed;
    if (auto failed = AddDriver()) return *failed;

    PrinterHandle printer = nullptr;
    if (auto failed = AddPrinter(printer)) return *failed;

    // Running programs learn of the new default printer the way Windows'
    // own change tells them.
    if (inputs_.setDefaultPrinter && WriteDefaultPrinter()) {
      s_.system.BroadcastSettingChange(std::string(kWindowsSection));
    }
    s_.progress.SetPosition(90);

    // The serial settings belong to the COM entry of the settings page's own
    // list, which need not be the port the printer was created on.
    if (inputs_.portIndex >= kFirstComPortIndex) {
      WriteRegistryText(s_.registry, s_.notifier, RegistryRoot::LocalMachine, kPortsKeyPath,
                        PortValueName(inputs_.portIndex), SerialValueText(inputs_.serial));
    }
    s_.progress.SetPosition(95);

    if (printer != nullptr) s_.spooler.ClosePrinter(printer);
    s_.system.Sleep(kFinalPause);
    s_.progress.SetPosition(100);

    InstallOutcome done;
    done.completed = true;
    return done;
  }

 private:
  // "Device", after LegacyDefaultPrinterMode 1 when the user agreed to it. A
  // mode that will not set leaves "Device" alone: Windows would switch the
  // default back. true when "Device" was written.
  bool WriteDefaultPrinter() {
    if (!inputs_.stopManagedDefault) {
      return WriteRegistryText(s_.registry, s_.notifier, RegistryRoot::CurrentUser, kWindowsKeyPath,
                               kDeviceValueName, DeviceValueText(row_.driverName, port_));
    }
    RegistryKey key = nullptr;
    if (s_.registry.OpenForSetValue(RegistryRoot::CurrentUser, std::string(kWindowsKeyPath), key) != 0) return false;
    bool written = s_.registry.SetDword(key, std::string(kLegacyDefaultPrinterModeName), 1) == 0;
    if (written) {
      written = s_.registry.SetString(key, std::string(kDeviceValueName), DeviceValueText(row_.driverName, port_)) == 0;
    }
    if (!written) s_.notifier.RegistryWriteFailed();
    s_.registry.Close(key);
    return written;
  }

  std::optional<InstallOutcome> QueryDriverDirectory() {
    std::array<char, kDriverDirectorySize> buffer{};
    const std::string environment(variant_.environment);
    const std::uint32_t error =
        s_.spooler.GetPrinterDriverDirectory(environment, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
    if (error != 0) return Failed(InstallStep::DriverDirectory, environment, error);

    const auto end = std::find(buffer.begin(), buffer.end(), '\0');
    if (end == buffer.end()) return Failed(InstallStep::DriverDirectory, environment, kErrorInsufficientBuffer);
    // An empty directory would turn every destination into the root of the
    // current drive.
    if (end == buffer.begin()) return Failed(InstallStep::DriverDirectory, environment);
    directory_.assign(buffer.begin(), end);
    return std::nullopt;
  }

  std::optional<InstallOutcome> Copy(std::string_view name, int milestone) {
    InstallOutcome attempt;
    attempt.subject = PathIn(variant_.folder, name);
    attempt.destination = PathIn(directory_, name);
    const std::uint32_t error = s_.files.CopyReplacing(attempt.subject, attempt.destination);
    if (error != 0) {
      attempt.step = InstallStep::CopyFile;
      attempt.error = error;
      return attempt;
    }
    if (milestone != 0) s_.progress.SetPosition(milestone);
    return std::nullopt;
  }

  // Every source file, with the milestone reached after its copy.
  std::vector<PackageFile> PackageFiles() const {
    std::vector<PackageFile> files;
    files.push_back({moduleFile_, 10});
    files.push_back({dataFile_, 20});
    // The plug-in pair goes along for every model; only the dependent-file
    // list decides whether the driver uses it.
    files.insert(files.end(), std::begin(kSharedFiles), std::end(kSharedFiles));
    return files;
  }

  // All or nothing: a package missing a file would otherwise leave the files
  // before it in the driver directory.
  std::optional<InstallOutcome> CheckPackage() {
    InstallOutcome outcome;
    for (const PackageFile& file : PackageFiles()) {
      if (const std::uint32_t error = s_.files.CheckReadable(PathIn(variant_.folder, file.name)); error != 0) {
        outcome.unreadable.push_back({std::string(file.name), error});
      }
    }
    if (outcome.unreadable.empty()) return std::nullopt;
    outcome.step = InstallStep::PackageCheck;
    outcome.subject = s_.files.FullPath(std::string(variant_.folder));
    return outcome;
  }

  std::optional<InstallOutcome> CopyFiles() {
    for (const PackageFile& file : PackageFiles()) {
      if (auto failed = Copy(file.name, file.milestone)) return failed;
    }
    return std::nullopt;
  }

  std::optional<InstallOutcome> AddDriver() {
    const std::string moduleFile = Joined(row_.moduleBase, ".DLL");
    const auto dependentFiles =
        BuildDependentFiles(row_.usesPlugin ? PluginDependentFiles() : BaseDependentFiles(), moduleFile);
    if (!dependentFiles) return Failed(InstallStep::DriverRecord, moduleFile, kErrorInsufficientBuffer);

    const std::string name(row_.driverName);
    const std::string environment(variant_.environment);
    const std::string driverPath(kDriverPath);
    const std::string dataFile = Joined("\\", Joined(row_.dataFileBase, ".GPD"));
    const std::string configFile(kConfigFile);
    const std::string helpFile(kHelpFile);
    const std::string monitorName;
    const std::string dataType(kDataType);

    DriverInfo3 info{};
    info.cVersion = kDriverVersion;
    info.pName = name.c_str();
    info.pEnvironment = environment.c_str();
    info.pDriverPath = driverPath.c_str();
    info.pDataFile = dataFile.c_str();
    info.pConfigFile = configFile.c_str();
    info.pHelpFile = helpFile.c_str();
    info.pDependentFiles = dependentFiles->data();
    info.pMonitorName = monitorName.c_str();
    info.pDefaultDataType = dataType.c_str();

    if (const std::uint32_t error = s_.spooler.AddPrinterDriver3(info); error != 0) {
      return Failed(InstallStep::AddPrinterDriver, name, error);
    }
    s_.progress.SetPosition(70);
    return std::nullopt;
  }

  // Any refusal but "already exists" stops here, so that no "Device" value
  // names a printer that does not exist.
  std::optional<InstallOutcome> AddPrinter(PrinterHandle& printer) {
    const std::string name(row_.driverName);
    const std::string processor(kPrintProcessor);
    const std::string dataType(kDataType);

    PrinterInfo2 info{};
    info.pPrinterName = name.c_str();
    info.pPortName = port_.c_str();
    info.pDriverName = name.c_str();
    info.pPrintProcessor = processor.c_str();
    info.pDatatype = dataType.c_str();

    std::uint32_t error = 0;
    printer = s_.spooler.AddPrinter2(info, error);
    if (printer == nullptr) {
      if (error != kErrorPrinterAlreadyExists) return Failed(InstallStep::AddPrinter, name, error);
      if (auto failed = MoveExistingPrinter(printer)) return failed;
    }
    s_.progress.SetPosition(80);
    return std::nullopt;
  }

  // Windows' spooler keeps a printer of this name from an earlier run where
  // it was, so installing the model again on another port would leave it on
  // the old one while "Device" names the new. Rewrite its port and driver
  // and keep everything else the user may have set on it.
  std::optional<InstallOutcome> MoveExistingPrinter(PrinterHandle& printer) {
    const std::string name(row_.driverName);
    std::uint32_t error = 0;
    printer = s_.spooler.OpenPrinter(name, error);
    if (printer == nullptr) return Failed(InstallStep::OpenPrinter, name, error != 0 ? error : kErrorInvalidHandle);

    auto failed = [&](InstallStep step, std::uint32_t code) {
      s_.spooler.ClosePrinter(printer);
      printer = nullptr;
      InstallOutcome outcome = Failed(step, name, code);
      outcome.destination = port_;
      return outcome;
    };

    std::uint32_t needed = 0;
    error = s_.spooler.GetPrinter2(printer, nullptr, 0, needed);
    if (error != 0 && error != kErrorInsufficientBuffer) return std::optional(failed(InstallStep::GetPrinter, error));
    if (needed < sizeof(PrinterRecord2)) return std::optional(failed(InstallStep::GetPrinter, kErrorInsufficientBuffer));
    std::vector<std::byte> buffer(needed);
    error = s_.spooler.GetPrinter2(printer, buffer.data(), needed, needed);
    if (error != 0) return std::optional(failed(InstallStep::GetPrinter, error));

    PrinterRecord2 record;
    std::memcpy(&record, buffer.data(), sizeof(record));
    record.pPortName = port_.c_str();
    record.pDriverName = name.c_str();
    // Null leaves the printer's security as it is; writing back the copy
    // would ask for owner rights the change does not need.
    record.pSecurityDescriptor = nullptr;
    error = s_.spooler.SetPrinter2(printer, record);
    if (error != 0) return std::optional(failed(InstallStep::SetPrinter, error));
    return std::nullopt;
  }

  const InstallVariant& variant_;
  const ModelRow& row_;
  const InstallInputs& inputs_;
  std::string& port_;
  InstallServices& s_;
  std::string directory_;
  const std::string moduleFile_ = Joined(row_.moduleBase, ".DLL");
  const std::string dataFile_ = Joined(row_.dataFileBase, ".GPD");
};

}  // namespace

std::optional<DependentFilesBuffer> BuildDependentFiles(std::span<const char> templateBytes,
                                                        std::string_view moduleFileName) {
  // Template, the name, its zero, and the empty name that ends the list.
  const std::size_t needed = templateBytes.size() + moduleFileName.size() + 2;
  if (needed > kDependentFilesSize) return std::nullopt;
  DependentFilesBuffer buffer{};
  std::copy(templateBytes.begin(), templateBytes.end(), buffer.begin());
  std::copy(moduleFileName.begin(), moduleFileName.end(), buffer.begin() + templateBytes.size());
  return buffer;
}

// Windows 10's setting "Let Windows manage my default printer" (Microsoft
// support: "Set a default printer in Windows") is this value at 0 or absent.
bool WindowsManagesDefaultPrinter(SystemServices& system, Registry& registry) {
  OsVersionInfoEx version{};
  if (!system.QueryRealVersion(version) || version.dwMajorVersion < 10) return false;
  std::uint32_t mode = 0;
  if (registry.QueryDword(RegistryRoot::CurrentUser, std::string(kWindowsKeyPath),
                          std::string(kLegacyDefaultPrinterModeName), mode) != 0) {
    return true;  // absent (or unreadable): Windows' own default applies
  }
  return mode == 0;
}

std::string DefaultPrinterQuestion(std::string_view printerName) {
  std::string name;
  name.append("\"").append(printerName).append("\"");
  return "Windows manages the default printer on this computer and makes the printer used last the "
         "default, so " + name + " would not stay the default printer.\n\nSetting " + name +
         " as the default printer means Windows will stop managing your default printer. Set it as the default "
         "printer?";
}

std::string SerialValueText(const SerialSelection& serial) {
  std::string text;
  for (std::string_view field : {BaudRateText(serial.baud), ParityLetter(serial.parity),
                                 DataBitsText(serial.dataBits), StopBitsText(serial.stopBits),
                                 FlowControlLetter(serial.flow)}) {
    if (!text.empty()) text += ',';
    text.append(field);
  }
  return text;
}

std::string DeviceValueText(std::string_view driverName, std::string_view portName) {
  std::string text;
  text.append(driverName).append(",winspool,").append(portName);
  return text;
}

namespace {

InstallOutcome RunInstallation(const InstallVariant& variant, const ModelRow& row, const InstallInputs& inputs,
                               std::string& chosenPortName, InstallServices& services) {
  InstallOutcome outcome = Installation(variant, row, inputs, chosenPortName, services).Run();
  if (!outcome.completed) {
    outcome.packageFolder = services.files.FullPath(std::string(variant.folder));
    outcome.environment = variant.environment;
    outcome.driverName = row.driverName;
  }
  return outcome;
}

}  // namespace

InstallOutcome InstallModel(const InstallVariant& variant, const ModelRow& row, const InstallInputs& inputs,
                            std::string& chosenPortName, InstallServices& services) {
  if (auto outside = SelectionOutsideTables(inputs, false)) return Failed(InstallStep::Selection, *outside);
  return RunInstallation(variant, row, inputs, chosenPortName, services);
}

InstallOutcome InstallPrinter(const InstallVariant& variant, const InstallInputs& inputs,
                              std::string& chosenPortName, InstallServices& services) {
  if (auto outside = SelectionOutsideTables(inputs, true)) return Failed(InstallStep::Selection, *outside);
  return RunInstallation(variant, ModelCatalogueRow(inputs.modelRow), inputs, chosenPortName, services);
}

std::string DescribeFailure(const InstallOutcome& outcome) {
  if (outcome.completed) return {};
  const std::string quoted = "\"" + outcome.subject + "\"";
  switch (outcome.step) {
    case InstallStep::None:
      return "The installation did not run.";
    case InstallStep::Selection:
      return "The selection is outside the installation tables: " + outcome.subject + ".";
    case InstallStep::DriverDirectory:
      if (outcome.error == 0) {
        return "GetPrinterDriverDirectoryA gave an empty printer-driver directory for " + quoted + ".";
      }
      if (outcome.error == kErrorInsufficientBuffer) {
        return "The printer-driver directory for " + quoted + " does not fit in 255 bytes.";
      }
      return "GetPrinterDriverDirectoryA failed for " + quoted + ".";
    case InstallStep::PackageCheck:
      return "The driver package in " + quoted + " is incomplete. Nothing was installed: these files are missing "
             "or cannot be read:";
    case InstallStep::CopyFile:
      return "Copying " + quoted + " to \"" + outcome.destination + "\" failed.";
    case InstallStep::DriverRecord:
      return "The dependent-files list with the module file " + quoted + " does not fit in 255 bytes.";
    case InstallStep::AddPrinterDriver:
      return "AddPrinterDriverA failed for " + quoted + ".";
    case InstallStep::AddPrinter:
      return "AddPrinterA failed for " + quoted + ".";
    case InstallStep::OpenPrinter:
      return "The printer " + quoted + " exists already, and OpenPrinterA failed for it.";
    case InstallStep::GetPrinter:
      return "The printer " + quoted + " exists already, and GetPrinterA failed for it.";
    case InstallStep::SetPrinter:
      return "The printer " + quoted + " exists already, and SetPrinterA failed to move it to the port \"" +
             outcome.destination + "\".";
  }
  return "The installation failed.";
}

namespace {

// What to do about the errors people meet when installing printers. In a
// text, <folder> and <environment> stand for the package and its spooler
// environment.
struct Hint {
  std::uint32_t errors[2];  // one code, or two that mean the same; 0 pads
  std::string_view text;
};
constexpr Hint kHints[] = {
    {{1722, 0}, "The Print Spooler service is not running: start it, then start Oriel again."},
    {{5, 740}, "Administrator rights are needed: start Oriel again with \"Run as administrator\"."},
    {{1796, 0}, "The port is unknown: connect the printer and switch it on, or create the port with \"Create "
                "Port...\", then press Install again."},
    {{1797, 0}, "The print spooler has no printer driver \"<driver>\" for its own environment, so no printer can "
                "use it. Oriel registered the driver for \"<environment>\" from \"<folder>\"; where that is not "
                "the spooler's environment, this package does not suit this Windows."},
    {{3013, 3014}, "The system's driver policy refused this printer driver: ask your administrator to allow it."},
    {{193, 216}, "The package in \"<folder>\" holds files for another kind of Windows than the spooler environment "
                 "\"<environment>\": put the matching package there."},
    {{32, 0}, "A file is in use: close the programs that are printing, then press Install again."},
    {{112, 0}, "The disk is full: free some space, then press Install again."},
};

void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view value) {
  for (std::size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + value.size())) {
    text.replace(at, placeholder.size(), value);
  }
}

}  // namespace

std::string ErrorHint(std::uint32_t error, std::string_view packageFolder, std::string_view environment,
                      std::string_view driverName) {
  for (const Hint& hint : kHints) {
    if (error == 0 || (hint.errors[0] != error && hint.errors[1] != error)) continue;
    std::string text(hint.text);
    ReplaceAll(text, "<folder>", packageFolder);
    ReplaceAll(text, "<environment>", environment);
    ReplaceAll(text, "<driver>", driverName);
    return text;
  }
  return {};
}

std::string SystemErrorParagraphs(std::uint32_t error, const std::function<std::string(std::uint32_t)>& systemText,
                                  std::string_view packageFolder, std::string_view environment,
                                  std::string_view driverName) {
  std::string text = "System error " + std::to_string(error) + ": " + systemText(error);
  if (std::string hint = ErrorHint(error, packageFolder, environment, driverName); !hint.empty()) {
    text += "\n\n" + hint;
  }
  return text;
}

std::string FailureMessage(const InstallOutcome& outcome,
                           const std::function<std::string(std::uint32_t)>& systemText) {
  if (outcome.completed) return {};
  std::string text = "The printer was not installed.\n\n" + DescribeFailure(outcome);
  for (const UnreadableFile& file : outcome.unreadable) {
    text += "\n    " + file.name + ": " + systemText(file.error);
  }
  if (outcome.error != 0) {
    text += "\n\n" + SystemErrorParagraphs(outcome.error, systemText, outcome.packageFolder, outcome.environment,
                                           outcome.driverName);
  }
  return text;
}

}  // namespace oriel
