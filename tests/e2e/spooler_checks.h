// Independent looks at what an installation left behind: the spooler's own
// answers (ports, monitors, drivers, printers), registry values and the files
// in the driver directory. Nothing here goes through Oriel; the cases compare
// these answers with what the user chose on the pages.
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

inline const std::wstring kEnvironmentX86 = L"Windows NT x86";
inline const std::wstring kEnvironmentX64 = L"Windows x64";
inline const std::wstring kPortsKey = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
inline const std::wstring kWindowsKey = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
inline const std::wstring kDeviceValue = L"Device";

// ---- Spooler ----
struct PortRecord {
  std::wstring name;
  std::wstring monitor;
  std::wstring description;
};
std::vector<PortRecord> SpoolerPorts();  // EnumPortsW level 2, in the spooler's order
std::vector<std::wstring> SpoolerPortNames();
std::vector<std::wstring> SpoolerMonitorNames();  // EnumMonitorsW level 1

struct DriverRecord {
  DWORD version = 0;
  std::wstring name;
  std::wstring environment;
  std::wstring driverPath;
  std::wstring dataFile;
  std::wstring configFile;
  std::wstring helpFile;
  std::vector<std::wstring> dependentFiles;
  std::wstring monitorName;
  std::wstring defaultDataType;
};
// EnumPrinterDriversW level 3 for the environment.
std::vector<DriverRecord> SpoolerDrivers(const std::wstring& environment);
std::vector<DriverRecord> SpoolerDriversNamed(const std::wstring& environment, const std::wstring& name);
// GetPrinterDriverW level 3 through the printer; empty when the printer does
// not open or has no driver for the environment.
std::optional<DriverRecord> DriverOfPrinter(const std::wstring& printerName, const std::wstring& environment);

struct PrinterRecord {
  std::wstring name;
  std::wstring port;
  std::wstring driver;
  std::wstring printProcessor;
  std::wstring dataType;
};
std::vector<PrinterRecord> SpoolerPrinters();  // EnumPrintersW level 2, local printers
std::vector<PrinterRecord> SpoolerPrintersNamed(const std::wstring& name);
// OpenPrinterW + GetPrinterW level 2; empty when it does not open.
std::optional<PrinterRecord> SpoolerPrinter(const std::wstring& name);

// GetPrinterDriverDirectoryW; throws when the spooler gives none.
std::wstring DriverDirectory(const std::wstring& environment);

// Registers a driver of that name (AddPrinterDriverW level 3) from files of
// its own: placeholders under Wine, which loads no driver; on Windows the
// machine's Unidrv with a GPD of the test's. Throws when the spooler refuses.
void RegisterTestDriver(const std::wstring& environment, const std::wstring& name);

// ---- Registry ----
std::optional<std::wstring> ReadRegistryText(HKEY root, const std::wstring& path, const std::wstring& name);
// Every REG_SZ value of the key, by name; empty when the key is missing.
std::map<std::wstring, std::wstring> RegistryTexts(HKEY root, const std::wstring& path);
void WriteRegistryText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text);
std::optional<DWORD> ReadRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name);
// `view` KEY_WOW64_64KEY reaches the 64-bit view from a 32-bit driver as well.
void WriteRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value,
                        REGSAM view = 0);
void DeleteRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name);  // absent is fine
void CreateRegistryKey(HKEY root, const std::wstring& path);  // present is fine
void DeleteRegistryKey(HKEY root, const std::wstring& path);  // with its values; absent is fine

// Changes the spooler's port list before the program starts: the local
// monitor lists the values of the Ports key.
void RemovePorts(const std::vector<std::wstring>& names);
void AddPorts(const std::vector<std::wstring>& names);

// ---- Files ----
std::wstring FileNamePart(const std::wstring& path);
bool SameName(const std::wstring& a, const std::wstring& b);  // ignoring case, as the file system does

// ---- Isolation where no harness resets the machine ----
// Records, before a case, what it or Oriel may touch: printers, drivers,
// the Ports values, the registry values the cases and Oriel write, the files
// of the driver directories and the default printer. Restore() removes what
// the case added, puts back what it changed and names what it could not.
class MachineSnapshot {
public:
  MachineSnapshot();
  ~MachineSnapshot();
  MachineSnapshot(const MachineSnapshot&) = delete;
  MachineSnapshot& operator=(const MachineSnapshot&) = delete;
  std::vector<std::string> Restore();

  struct Value {
    std::wstring name;
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const Value&) const = default;
  };
  struct Key {
    HKEY root;
    std::wstring path;
    std::vector<std::wstring> only;  // the values kept; empty: all of them
    bool existed = false;
    std::map<std::wstring, Value> values;  // by upper-case name
  };
  struct Stamp {
    ULONGLONG size;
    FILETIME written;
  };

private:
  std::vector<std::wstring> printers_;
  std::vector<std::pair<std::wstring, DriverRecord>> drivers_;
  std::vector<Key> keys_;
  std::map<std::wstring, Stamp> files_;  // upper-case path
  std::wstring defaultPrinter_;
  friend bool UnchangedSinceTheCaseBegan(const std::wstring& path);
};
// The file lay there as it is now before the case began (false without a
// snapshot: under the harness every case starts from a fresh prefix).
bool UnchangedSinceTheCaseBegan(const std::wstring& path);

// ---- Pages ----
// Returns once the thread that owns `listView` has handled everything posted
// to it before: a hot-item change posted behind it has taken effect. Lets a
// case show that a click or key did nothing, without sleeping for it. The
// hot item is drawn only with track-select styles, which the lists do not use.
void WaitForPostedInput(HWND listView);

}  // namespace e2e
