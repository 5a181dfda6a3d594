#include "install/installer.h"

#include <algorithm>
#include <cstring>

#include "install/default_printer.h"
#include "platform/enumeration.h"

namespace oriel {
namespace {

constexpr std::string_view kDriverPath = "\\uniDRV.DLL";
constexpr std::string_view kConfigFile = "\\uniDRVui.DLL";
constexpr std::string_view kHelpFile = "\\uniDRV.HLP";
constexpr std::string_view kDataType = "RAW";
constexpr std::string_view kPrintProcessor = "WinPrint";
constexpr std::uint32_t kDriverVersion = 2;
constexpr std::uint32_t kFinalPause = 500;
constexpr std::uint32_t kProtectedPrintBuild = 26100;  // Windows 11 24H2

constexpr std::string_view kWindowsSection = "windows";
constexpr std::uint32_t kErrorInvalidHandle = 6;
constexpr std::uint32_t kErrorFileNotFound = 2;

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

// Spooler names compare as Windows compares them, without regard to case.
bool SameTextIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) {
           return lower(x) == lower(y);
         });
}

std::string MachineName(std::uint16_t machine) {
  if (machine == kMachineArm64) return "ARM64";
  if (machine == 0x01C4) return "ARM";  // IMAGE_FILE_MACHINE_ARMNT
  constexpr char kDigits[] = "0123456789ABCDEF";
  std::string name = "of machine type 0x";
  for (int shift = 12; shift >= 0; shift -= 4) name += kDigits[(machine >> shift) & 0xF];
  return name;
}

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

class Installation {
 public:
  Installation(const InstallVariant& variant, const ModelRow& row, const InstallInputs& inputs,
               std::string& chosenPortName, InstallServices& services)
      : variant_(variant), row_(row), inputs_(inputs), port_(chosenPortName), s_(services) {}

  InstallOutcome Run() {
    port_ = inputs_.chosenPort;

    if (auto failed = CheckProcessor()) return *failed;
    if (auto failed = CheckProtectedPrint()) return *failed;
    if (auto failed = CheckPackage()) return *failed;
    // Asked only of an installation that can run, and before anything is written.
    if (inputs_.setDefaultPrinter) ChooseDefaultPrinter();
    if (auto failed = QueryDriverDirectory()) return *failed;
    if (auto failed = CopyFiles()) return *failed;
    if (auto failed = AddDriver()) return *failed;

    PrinterHandle printer = nullptr;
    if (auto failed = AddPrinter(printer)) return *failed;

    // Running programs learn of the new default printer the way Windows'
    // own change tells them.
    if (setDefaultPrinter_ && WriteDefaultPrinter()) {
      s_.system.BroadcastSettingChange(std::string(kWindowsSection));
    }
    s_.progress.SetPosition(90);

    // The serial settings belong to the COM entry of the settings page's own
    // list, which need not be the port the printer was created on.
    if (inputs_.portIndex >= kFirstComPortIndex) {
      WriteText(RegistryRoot::LocalMachine, std::string(kPortsKeyPath), std::string(PortValueName(inputs_.portIndex)),
                SerialValueText(inputs_.serial));
    }
    s_.progress.SetPosition(95);

    if (printer != nullptr) s_.spooler.ClosePrinter(printer);
    s_.system.Sleep(kFinalPause);
    s_.progress.SetPosition(100);

    InstallOutcome done;
    done.completed = true;
    done.settingsNotWritten = std::move(notWritten_);
    return done;
  }

  // Where the package was found, or looked for first.
  const std::string& PackageFolder() const { return packageFolder_; }

 private:
  // Packages hold drivers for x86 and x64 only. An x86 process on ARM64
  // Windows is told AMD64 by GetNativeSystemInfo and WOW64 by
  // IsWow64Process; IsWow64Process2 tells the truth:
  // https://learn.microsoft.com/en-us/windows/win32/api/wow64apiset/nf-wow64apiset-iswow64process2
  std::optional<InstallOutcome> CheckProcessor() {
    const std::optional<std::uint16_t> machine = s_.system.QueryNativeMachine();
    if (!machine || *machine == kMachineI386 || *machine == kMachineAmd64) return std::nullopt;
    return Failed(InstallStep::Processor, MachineName(*machine));
  }

  // Protected print mode admits Windows' own drivers only; the policy sets
  // the value, the Settings switch only the state WinRT reports. The mode
  // came with build 26100, and a policy made with its templates reaches older
  // Windows too, where it means nothing:
  // https://learn.microsoft.com/en-us/windows-hardware/drivers/print/windows-protected-print-mode
  std::optional<InstallOutcome> CheckProtectedPrint() {
    OsVersionInfoEx real{};
    const bool known = s_.system.QueryRealVersion(real);
    // The Windows Runtime (combase.dll) came with Windows 8. A compatibility
    // mode on Oriel.exe makes RtlGetVersion say less; CurrentMajorVersionNumber
    // still says 10.
    std::uint32_t major = 0;
    const bool windows8 = known && (real.dwMajorVersion > 6 || (real.dwMajorVersion == 6 && real.dwMinorVersion >= 2));
    const bool runtime = windows8 || (s_.registry.QueryDword(RegistryRoot::LocalMachine,
                                                             std::string(kCurrentVersionKeyPath),
                                                             std::string(kCurrentMajorVersionName), major) == 0 &&
                                      major >= 10);
    const std::optional<bool> enabled = runtime ? s_.system.QueryProtectedPrintEnabled() : std::nullopt;
    // Only Windows that has the mode has its class, whatever the version says.
    const bool hasMode =
        enabled.has_value() || (known && real.dwMajorVersion >= 10 && real.dwBuildNumber >= kProtectedPrintBuild);
    if (!hasMode) return std::nullopt;
    std::uint32_t state = 0;
    if (s_.registry.QueryDword(RegistryRoot::LocalMachine, std::string(kProtectedPrintPolicyPath),
                               std::string(kProtectedPrintPolicyName), state) == 0 &&
        state == 1) {
      return Failed(InstallStep::ProtectedPrint, "policy");
    }
    if (enabled.value_or(false)) return Failed(InstallStep::ProtectedPrint, "setting");
    // Whether the class can be activated from a 32-bit process on 64-bit
    // Windows is not documented: an unknown state lets the installation go on,
    // and a refused driver is then put down to the mode.
    protectedPrintUnknown_ = !enabled;
    return std::nullopt;
  }

  // A setting that did not go in is reported, named in the outcome, and the
  // installation goes on. Returns false.
  bool NotWritten(RegistryRoot root, const std::string& keyPath, const std::string& valueName, const char* call,
                  std::uint32_t error) {
    notWritten_.push_back({root, keyPath, valueName, call, error});
    s_.notifier.RegistryWriteFailed();
    return false;
  }

  // Opens, sets, closes; true when the value went in.
  bool WriteText(RegistryRoot root, const std::string& keyPath, const std::string& valueName,
                 const std::string& text) {
    RegistryKey key = nullptr;
    if (const std::uint32_t error = s_.registry.OpenForSetValue(root, keyPath, key); error != 0)
      return NotWritten(root, keyPath, valueName, "RegOpenKeyExA", error);
    const std::uint32_t error = s_.registry.SetString(key, valueName, text);
    if (error != 0) NotWritten(root, keyPath, valueName, "RegSetValueExA", error);
    s_.registry.Close(key);
    return error == 0;
  }

  void ChooseDefaultPrinter() {
    owner_ = FindDefaultPrinterOwner(s_.system, s_.registry);
    if (!WindowsManagesDefaultPrinter(s_.system, s_.registry, owner_)) return;
    stopManagedDefault_ = s_.notifier.AskToStopManagedDefault(row_.driverName, owner_.accountName);
    setDefaultPrinter_ = stopManagedDefault_;
  }

  // "Device" in the owner's profile, after LegacyDefaultPrinterMode 1 when
  // the user agreed to it. Without the mode Windows would switch the default
  // back, so a mode that will not set keeps "Device" out, and a "Device" that
  // will not set puts the mode back as it was. true when "Device" was written.
  bool WriteDefaultPrinter() {
    const std::string device = DeviceValueText(row_.driverName, port_);
    const std::string deviceName(kDeviceValueName);
    if (!stopManagedDefault_) return WriteText(owner_.root, owner_.windowsKeyPath, deviceName, device);
    const std::string modeName(kLegacyDefaultPrinterModeName);
    std::uint32_t previousMode = 0;
    const bool hadMode =
        s_.registry.QueryDword(owner_.root, owner_.windowsKeyPath, modeName, previousMode) != kErrorFileNotFound;
    RegistryKey key = nullptr;
    if (const std::uint32_t error = s_.registry.OpenForSetValue(owner_.root, owner_.windowsKeyPath, key); error != 0)
      return NotWritten(owner_.root, owner_.windowsKeyPath, deviceName, "RegOpenKeyExA", error);
    bool written = false;
    if (const std::uint32_t modeError = s_.registry.SetDword(key, modeName, 1); modeError != 0) {
      NotWritten(owner_.root, owner_.windowsKeyPath, modeName, "RegSetValueExA", modeError);
    } else if (const std::uint32_t error = s_.registry.SetString(key, deviceName, device); error != 0) {
      // A mode that could not be read as a number was taken as 0 too.
      if (hadMode) s_.registry.SetDword(key, modeName, previousMode);
      else s_.registry.DeleteValue(key, modeName);
      NotWritten(owner_.root, owner_.windowsKeyPath, deviceName, "RegSetValueExA", error);
    } else {
      written = true;
    }
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
    attempt.subject = PathIn(packageFolder_, name);
    attempt.destination = PathIn(directory_, name);
    // CopyFile refuses to replace a read-only or hidden file, and gives each
    // copy its source's attributes: a package from a CD or a read-only share
    // would leave copies that the next installation cannot replace.
    // https://learn.microsoft.com/en-us/windows/win32/api/winbase/nf-winbase-copyfile
    s_.files.MakeReplaceable(attempt.destination);
    const std::uint32_t error = s_.files.CopyReplacing(attempt.subject, attempt.destination);
    if (error == 0) s_.files.MakeReplaceable(attempt.destination);
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

  PackageFolderCheck CheckFolder(const std::string& folder) {
    PackageFolderCheck check;
    const std::vector<PackageFile> files = PackageFiles();
    for (const PackageFile& file : files) {
      if (const std::uint32_t error = s_.files.CheckReadable(PathIn(folder, file.name)); error != 0) {
        check.unreadable.push_back({std::string(file.name), error});
      }
    }
    check.noFileReadable = check.unreadable.size() == files.size() &&
                           std::all_of(check.unreadable.begin(), check.unreadable.end(), [&](const UnreadableFile& f) {
                             return f.error == check.unreadable.front().error;
                           });
    return check;
  }

  // All or nothing: a package missing a file would otherwise leave the files
  // before it in the driver directory. The package is looked for where Oriel
  // was started, as scripts expect, and then beside Oriel.exe: a shortcut's
  // "Start in", an elevated batch file (System32) or a scheduled task start
  // it elsewhere.
  std::optional<InstallOutcome> CheckPackage() {
    const std::string folder(variant_.folder);
    PackageFolderCheck here = CheckFolder(folder);
    if (here.unreadable.empty()) return std::nullopt;
    InstallOutcome outcome;
    outcome.step = InstallStep::PackageCheck;
    outcome.subject = s_.files.FullPath(folder);
    outcome.unreadable = std::move(here.unreadable);
    outcome.noFileReadable = here.noFileReadable;
    const ProgramFolder program = FindProgramFolder(s_.files);
    if (program.path.empty() && !program.shown.empty()) {
      outcome.programFolderUnnamed = PathIn(program.shown, folder);
    } else if (!program.path.empty()) {
      const std::string besideProgram = PathIn(program.path, folder);
      const std::string besideProgramFull = s_.files.FullPath(besideProgram);
      if (!SameTextIgnoringCase(besideProgramFull, outcome.subject)) {
        PackageFolderCheck beside = CheckFolder(besideProgram);
        if (beside.unreadable.empty()) {
          packageFolder_ = besideProgram;
          return std::nullopt;
        }
        beside.folder = besideProgramFull;
        outcome.programFolderCheck = std::move(beside);
      }
    }
    outcome.unseenDrive = UnseenDrive(outcome.subject);
    if (outcome.unseenDrive.empty() && outcome.programFolderCheck) {
      outcome.unseenDrive = UnseenDrive(outcome.programFolderCheck->folder);
    }
    return outcome;
  }

  // Drive letters mapped in the user's session are not seen by an elevated
  // token, and never under over-the-shoulder elevation (KB937624): both
  // folders then answer "path not found".
  // https://support.microsoft.com/kb/937624
  std::string UnseenDrive(const std::string& folder) {
    if (folder.size() < 2 || folder[1] != ':') return {};
    const char letter = folder[0];
    const bool isLetter = (letter >= 'A' && letter <= 'Z') || (letter >= 'a' && letter <= 'z');
    if (!isLetter || s_.files.DriveLetterSeen(letter)) return {};
    return folder.substr(0, 2);
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
      InstallOutcome outcome = Failed(InstallStep::AddPrinterDriver, name, error);
      outcome.protectedPrintUnknown = protectedPrintUnknown_;
      return outcome;
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

    PrinterRecord2 info{};  // the fields left zero are the spooler's to choose
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

    // The record is followed by its strings and the driver's DEVMODE: the
    // spooler sizes the buffer, bounded as the enumerations are.
    std::vector<std::byte> buffer;
    for (int attempt = 1;; ++attempt) {
      std::uint32_t needed = 0;
      error = s_.spooler.GetPrinter2(printer, buffer.data(), static_cast<std::uint32_t>(buffer.size()), needed);
      if (error == 0 && buffer.size() >= sizeof(PrinterRecord2)) break;
      if (error != 0 && error != kErrorInsufficientBuffer) return std::optional(failed(InstallStep::GetPrinter, error));
      if (needed > kMaxEnumerationBytes) return std::optional(failed(InstallStep::GetPrinter, kErrorNotEnoughMemory));
      if (needed < sizeof(PrinterRecord2) || needed <= buffer.size() || attempt == kEnumerationTries) {
        return std::optional(failed(InstallStep::GetPrinter, kErrorInsufficientBuffer));
      }
      buffer.assign(needed, std::byte{0});
    }

    PrinterRecord2 record;
    std::memcpy(&record, buffer.data(), sizeof(record));
    record.pPortName = port_.c_str();
    // A DEVMODE's private part belongs to the driver that wrote it; the new
    // driver is given none, which asks for its own defaults:
    // https://learn.microsoft.com/en-us/openspecs/windows_protocols/ms-rprn/c2b14fe7-6479-4460-a7ba-633a845dd61a
    if (record.pDriverName == nullptr || !SameTextIgnoringCase(record.pDriverName, name)) record.pDevMode = nullptr;
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
  std::string packageFolder_{variant_.folder};
  std::string directory_;
  std::vector<SettingNotWritten> notWritten_;
  DefaultPrinterOwner owner_;
  bool setDefaultPrinter_ = inputs_.setDefaultPrinter;
  bool stopManagedDefault_ = false;
  bool protectedPrintUnknown_ = false;
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

namespace {

InstallOutcome RunAndDescribe(const InstallVariant& variant, const ModelRow& row, const InstallInputs& inputs,
                               std::string& chosenPortName, InstallServices& services) {
  Installation installation(variant, row, inputs, chosenPortName, services);
  InstallOutcome outcome = installation.Run();
  if (!outcome.completed || !outcome.settingsNotWritten.empty()) {
    outcome.packageFolder = services.files.FullPath(installation.PackageFolder());
    outcome.environment = variant.environment;
    outcome.driverName = row.driverName;
  }
  return outcome;
}

}  // namespace

InstallOutcome InstallModel(const InstallVariant& variant, const ModelRow& row, const InstallInputs& inputs,
                            std::string& chosenPortName, InstallServices& services) {
  if (auto outside = SelectionOutsideTables(inputs, false)) return Failed(InstallStep::Selection, *outside);
  return RunAndDescribe(variant, row, inputs, chosenPortName, services);
}

InstallOutcome InstallPrinter(const InstallVariant& variant, const InstallInputs& inputs,
                              std::string& chosenPortName, InstallServices& services) {
  if (auto outside = SelectionOutsideTables(inputs, true)) return Failed(InstallStep::Selection, *outside);
  return RunAndDescribe(variant, ModelCatalogueRow(inputs.modelRow), inputs, chosenPortName, services);
}

}  // namespace oriel
