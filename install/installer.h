#pragma once
// The printer installation: copy the package, register the driver, create the
// printer, write the registry values, over the platform interfaces only.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/tables.h"
#include "platform/files.h"
#include "platform/registry.h"
#include "platform/spooler.h"
#include "platform/system.h"

namespace oriel {

struct InstallVariant {
  std::string_view environment;  // spooler environment name
  // Package folder, looked for in the current directory and then beside
  // Oriel.exe.
  std::string_view folder;
};
inline constexpr InstallVariant kVariant32{"Windows NT x86", "win2k"};
inline constexpr InstallVariant kVariant64{"Windows x64", "x64"};

// Selection indices of the settings page's serial lists; the defaults are the
// page's initial selections (19200, 8, 1, None, Hardware).
struct SerialSelection {
  int baud = 5;
  int dataBits = 3;
  int stopBits = 0;
  int parity = 2;
  int flow = 2;
};

struct InstallInputs {
  int modelRow = 1;   // model list
  int portIndex = 0;  // LPT/COM list: LPT1..LPT3, COM1..COM4
  bool setDefaultPrinter = true;
  SerialSelection serial;
  std::string chosenPort;  // the port page's selection, may be empty
};

class InstallProgress {
 public:
  virtual ~InstallProgress() = default;
  virtual void SetPosition(int percent) = 0;
};

class InstallNotifier {
 public:
  virtual ~InstallNotifier() = default;
  // A setting did not go in: the page shows "错误：无法设置有关的注册表信息";
  // the procedure goes on afterwards, and its outcome names the setting.
  virtual void RegistryWriteFailed() = 0;
  // Asked once the package has been found complete, where Windows manages
  // the default printer: true when Windows is to stop managing it so that
  // this printer stays the default. accountName names the person whose
  // default it is, empty for the account Oriel runs as.
  virtual bool AskToStopManagedDefault(std::string_view printerName, std::string_view accountName) = 0;
};

enum class InstallStep {
  None,
  Selection,
  // Found before anything is written: drivers of the packages cannot run
  // on this processor, or Windows admits only its own printer drivers.
  Processor,
  ProtectedPrint,
  DriverDirectory,
  PackageCheck,
  CopyFile,
  DriverRecord,
  AddPrinterDriver,
  AddPrinter,
  // A printer of the name exists already: it is moved to the chosen port
  // and driver through these three.
  OpenPrinter,
  GetPrinter,
  SetPrinter,
};

struct UnreadableFile {
  std::string name;  // as in the package folder
  std::uint32_t error = 0;
  bool operator==(const UnreadableFile&) const = default;
};

// A package folder that was looked in and found incomplete.
struct PackageFolderCheck {
  std::string folder;  // full path, as the system opened it
  std::vector<UnreadableFile> unreadable;
  bool noFileReadable = false;  // every file of the package failed alike: no package there
};

// A setting the installation was to write and could not.
struct SettingNotWritten {
  RegistryRoot root{};
  std::string keyPath;
  std::string valueName;
  std::string call;  // "RegOpenKeyExA" or "RegSetValueExA"
  std::uint32_t error = 0;
  bool operator==(const SettingNotWritten&) const = default;
};

// error is the system error code; 0 when the fault is the installer's own
// finding (an out-of-range selection, an empty driver directory), so the page
// has no system message to add.
struct InstallOutcome {
  // The driver and the printer are installed; settingsNotWritten says
  // whether every setting went in too.
  bool completed = false;
  InstallStep step = InstallStep::None;
  // Selection: which list and index ("model row 15"); Processor: the
  // processor's name ("ARM64"); ProtectedPrint: "policy" or "setting";
  // DriverDirectory: the
  // environment; PackageCheck: the package folder as a full path; CopyFile:
  // the source; DriverRecord: the module file name; AddPrinterDriver,
  // AddPrinter, OpenPrinter, GetPrinter, SetPrinter: the driver name.
  std::string subject;
  std::uint32_t error = 0;
  std::string destination;  // CopyFile only; SetPrinter: the port
  std::vector<UnreadableFile> unreadable;  // PackageCheck only: in the folder named by subject
  bool noFileReadable = false;              // PackageCheck only: every file there failed alike
  // PackageCheck only: beside Oriel.exe, where that is another folder.
  std::optional<PackageFolderCheck> programFolderCheck;
  // PackageCheck only: the package folder beside Oriel.exe, in UTF-8, where
  // the file calls cannot name it (the code page cannot spell it, and it has
  // no short name), so it was not looked in.
  std::string programFolderUnnamed;
  // PackageCheck only: the drive ("Z:") of a folder looked in that this
  // process cannot see, as a drive mapped in the user's session is not seen
  // by a program run as administrator. Empty otherwise.
  std::string unseenDrive;
  // AddPrinterDriver only: Windows has protected print mode, and whether it
  // is on could not be read.
  bool protectedPrintUnknown = false;
  std::vector<SettingNotWritten> settingsNotWritten;  // completed only
  // The variant's package folder (full path), spooler environment and the
  // model's driver name, for the hints about a package or driver that does
  // not suit the spooler.
  std::string packageFolder;
  std::string environment;
  std::string driverName;
};

struct InstallServices {
  Spooler& spooler;
  Registry& registry;
  FileSystem& files;
  SystemServices& system;
  InstallProgress& progress;
  InstallNotifier& notifier;
};

inline constexpr std::uint32_t kErrorPrinterAlreadyExists = 1802;

inline constexpr std::size_t kDriverDirectorySize = 255;
inline constexpr std::size_t kDependentFilesSize = 255;
using DependentFilesBuffer = std::array<char, kDependentFilesSize>;

inline constexpr std::string_view kPortsKeyPath = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
// Windows protected print mode by policy: this value at 1.
inline constexpr std::string_view kProtectedPrintPolicyPath =
    "SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP";
inline constexpr std::string_view kProtectedPrintPolicyName = "WindowsProtectedPrintGroupPolicyState";



// chosenPortName is the process-wide context value; the procedure stores
// inputs.chosenPort there first. On a failed outcome the progress stays where
// it stopped; nothing already done is undone. A completed outcome with
// settingsNotWritten is a printer installed without all of its settings.
InstallOutcome InstallPrinter(const InstallVariant& variant, const InstallInputs& inputs,
                              std::string& chosenPortName, InstallServices& services);

// The same procedure for a row given directly rather than by its catalogue
// index; inputs.modelRow is ignored. Lets a row the catalogue never holds (a
// module name too long for the driver record) be driven through it.
InstallOutcome InstallModel(const InstallVariant& variant, const ModelRow& row,
                            const InstallInputs& inputs, std::string& chosenPortName,
                            InstallServices& services);


// The driver record's dependent-files list: the template, then the module
// file name with its zero, then the zero that ends the list, in a zero-filled
// 255-byte buffer. Empty when that does not fit.
std::optional<DependentFilesBuffer> BuildDependentFiles(std::span<const char> templateBytes,
                                                        std::string_view moduleFileName);

// "19200,N,8,1,p": baud, parity, data bits, stop bits, flow. Indices must lie
// within the tables.
std::string SerialValueText(const SerialSelection& serial);


}  // namespace oriel
