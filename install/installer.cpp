#include "install/installer.h"

#include <algorithm>

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

// The shared package files in copy order, with the milestone reached after
// each (0: none). They follow the module and GPD copies (10 and 20).
struct SharedFile {
  std::string_view name;
  int milestone;
};
constexpr SharedFile kSharedFiles[] = {
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
// a value that will not set is reported and the installation goes on.
void WriteRegistryText(Registry& registry, InstallNotifier& notifier, RegistryRoot root,
                       std::string_view path, std::string_view name, const std::string& text) {
  RegistryKey key = nullptr;
  if (registry.OpenForSetValue(root, std::string(path), key) != 0) return;
  if (registry.SetString(key, std::string(name), text) != 0) notifier.RegistryWriteFailed();
  registry.Close(key);
}

class Installation {
 public:
  Installation(const InstallVariant& variant, const ModelRow& row, const InstallInputs& inputs,
               std::string& chosenPortName, InstallServices& services)
      : variant_(variant), row_(row), inputs_(inputs), port_(chosenPortName), s_(services) {}

  InstallOutcome Run() {
    port_ = inputs_.chosenPort;

    if (auto failed = QueryDriverDirectory()) return *failed;
    if (auto failed = CopyFiles()) return *failed;
    if (auto failed = AddDriver()) return *failed;

    PrinterHandle printer = nullptr;
    if (auto failed = AddPrinter(printer)) return *failed;

    if (inputs_.setDefaultPrinter) {
      WriteRegistryText(s_.registry, s_.notifier, RegistryRoot::CurrentUser, kWindowsKeyPath,
                        kDeviceValueName, DeviceValueText(row_.driverName, port_));
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

  std::optional<InstallOutcome> CopyFiles() {
    if (auto failed = Copy(Joined(row_.moduleBase, ".DLL"), 10)) return failed;
    if (auto failed = Copy(Joined(row_.dataFileBase, ".GPD"), 20)) return failed;
    // The plug-in pair goes along for every model; only the dependent-file
    // list decides whether the driver uses it.
    for (const SharedFile& file : kSharedFiles) {
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

  // A printer of this name left by an earlier run is what we wanted anyway;
  // any other refusal stops here, so that no "Device" value names a printer
  // that does not exist.
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
    if (printer == nullptr && error != kErrorPrinterAlreadyExists) {
      return Failed(InstallStep::AddPrinter, name, error);
    }
    s_.progress.SetPosition(80);
    return std::nullopt;
  }

  const InstallVariant& variant_;
  const ModelRow& row_;
  const InstallInputs& inputs_;
  std::string& port_;
  InstallServices& s_;
  std::string directory_;
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

InstallOutcome InstallModel(const InstallVariant& variant, const ModelRow& row, const InstallInputs& inputs,
                            std::string& chosenPortName, InstallServices& services) {
  if (auto outside = SelectionOutsideTables(inputs, false)) return Failed(InstallStep::Selection, *outside);
  return Installation(variant, row, inputs, chosenPortName, services).Run();
}

InstallOutcome InstallPrinter(const InstallVariant& variant, const InstallInputs& inputs,
                              std::string& chosenPortName, InstallServices& services) {
  if (auto outside = SelectionOutsideTables(inputs, true)) return Failed(InstallStep::Selection, *outside);
  return Installation(variant, ModelCatalogueRow(inputs.modelRow), inputs, chosenPortName, services).Run();
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
    case InstallStep::CopyFile:
      return "Copying " + quoted + " to \"" + outcome.destination + "\" failed.";
    case InstallStep::DriverRecord:
      return "The dependent-files list with the module file " + quoted + " does not fit in 255 bytes.";
    case InstallStep::AddPrinterDriver:
      return "AddPrinterDriverA failed for " + quoted + ".";
    case InstallStep::AddPrinter:
      return "AddPrinterA failed for " + quoted + ".";
  }
  return "The installation failed.";
}

}  // namespace oriel
