#include "tests/e2e/spooler_checks.h"

#include <winspool.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <stdexcept>
#include <tuple>

#include "tests/e2e/test_package.h"
#include "tests/e2e/ui_driver.h"

namespace e2e {
namespace {

[[noreturn]] void Fail(const std::string& message) { throw std::runtime_error(message); }

std::wstring Or(const wchar_t* text) { return text ? std::wstring(text) : std::wstring(); }

std::vector<std::wstring> MultiString(const wchar_t* list) {
  std::vector<std::wstring> names;
  if (!list) return names;
  for (const wchar_t* name = list; *name; name += wcslen(name) + 1) names.emplace_back(name);
  return names;
}

DriverRecord FromInfo3(const DRIVER_INFO_3W& info) {
  DriverRecord record;
  record.version = info.cVersion;
  record.name = Or(info.pName);
  record.environment = Or(info.pEnvironment);
  record.driverPath = Or(info.pDriverPath);
  record.dataFile = Or(info.pDataFile);
  record.configFile = Or(info.pConfigFile);
  record.helpFile = Or(info.pHelpFile);
  record.dependentFiles = MultiString(info.pDependentFiles);
  record.monitorName = Or(info.pMonitorName);
  record.defaultDataType = Or(info.pDefaultDataType);
  return record;
}

PrinterRecord FromInfo2(const PRINTER_INFO_2W& info) {
  return {Or(info.pPrinterName), Or(info.pPortName), Or(info.pDriverName), Or(info.pPrintProcessor),
          Or(info.pDatatype)};
}

// The two-call pattern of the spooler's enumerations: size, then fill. A
// second "buffer too small" (something was added in between) gets one retry.
template <typename Call>
std::vector<BYTE> Enumerate(const char* what, Call call, DWORD* count) {
  std::vector<BYTE> buffer;
  for (int attempt = 0; attempt < 3; ++attempt) {
    DWORD needed = 0;
    *count = 0;
    if (call(buffer.empty() ? nullptr : buffer.data(), static_cast<DWORD>(buffer.size()), &needed, count)) {
      return buffer;
    }
    const DWORD error = GetLastError();
    if (error != ERROR_INSUFFICIENT_BUFFER) Fail(std::string(what) + " failed: " + ErrorText(error));
    buffer.assign(needed, 0);
  }
  Fail(std::string(what) + " kept asking for a larger buffer");
}

class Printer {
public:
  explicit Printer(const std::wstring& name) {
    if (!OpenPrinterW(const_cast<LPWSTR>(name.c_str()), &handle_, nullptr)) handle_ = nullptr;
  }
  ~Printer() {
    if (handle_) ClosePrinter(handle_);
  }
  Printer(const Printer&) = delete;
  Printer& operator=(const Printer&) = delete;
  HANDLE get() const { return handle_; }

private:
  HANDLE handle_ = nullptr;
};

class Key {
public:
  Key(HKEY root, const std::wstring& path, REGSAM access) {
    status_ = RegOpenKeyExW(root, path.c_str(), 0, access, &key_);
    if (status_ != ERROR_SUCCESS) key_ = nullptr;
  }
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  HKEY get() const { return key_; }
  LONG status() const { return status_; }

private:
  HKEY key_ = nullptr;
  LONG status_ = ERROR_SUCCESS;
};

std::string KeyName(HKEY root, const std::wstring& path) {
  return (root == HKEY_LOCAL_MACHINE ? "HKLM\\" : root == HKEY_CURRENT_USER ? "HKCU\\" : "?\\") + Utf8(path);
}

}  // namespace

// ---- Spooler ----

std::vector<PortRecord> SpoolerPorts() {
  DWORD count = 0;
  const std::vector<BYTE> buffer = Enumerate(
      "EnumPortsW",
      [](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPortsW(nullptr, 2, data, size, needed, returned) != FALSE;
      },
      &count);
  std::vector<PortRecord> ports;
  const auto* info = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) {
    ports.push_back({Or(info[i].pPortName), Or(info[i].pMonitorName), Or(info[i].pDescription)});
  }
  return ports;
}

std::vector<std::wstring> SpoolerPortNames() {
  std::vector<std::wstring> names;
  for (const PortRecord& port : SpoolerPorts()) names.push_back(port.name);
  return names;
}

std::vector<std::wstring> SpoolerMonitorNames() {
  DWORD count = 0;
  const std::vector<BYTE> buffer = Enumerate(
      "EnumMonitorsW",
      [](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumMonitorsW(nullptr, 1, data, size, needed, returned) != FALSE;
      },
      &count);
  std::vector<std::wstring> names;
  const auto* info = reinterpret_cast<const MONITOR_INFO_1W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) names.push_back(Or(info[i].pName));
  return names;
}

std::vector<DriverRecord> SpoolerDrivers(const std::wstring& environment) {
  DWORD count = 0;
  const std::vector<BYTE> buffer = Enumerate(
      "EnumPrinterDriversW",
      [&](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrinterDriversW(nullptr, const_cast<LPWSTR>(environment.c_str()), 3, data, size, needed,
                                   returned) != FALSE;
      },
      &count);
  std::vector<DriverRecord> drivers;
  const auto* info = reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) drivers.push_back(FromInfo3(info[i]));
  return drivers;
}

std::vector<DriverRecord> SpoolerDriversNamed(const std::wstring& environment, const std::wstring& name) {
  std::vector<DriverRecord> named;
  for (DriverRecord& driver : SpoolerDrivers(environment)) {
    if (driver.name == name) named.push_back(std::move(driver));
  }
  return named;
}

std::optional<DriverRecord> DriverOfPrinter(const std::wstring& printerName, const std::wstring& environment) {
  Printer printer(printerName);
  if (!printer.get()) return std::nullopt;
  DWORD needed = 0;
  LPWSTR env = const_cast<LPWSTR>(environment.c_str());
  GetPrinterDriverW(printer.get(), env, 3, nullptr, 0, &needed);
  if (needed == 0) return std::nullopt;
  std::vector<BYTE> buffer(needed);
  if (!GetPrinterDriverW(printer.get(), env, 3, buffer.data(), needed, &needed)) return std::nullopt;
  return FromInfo3(*reinterpret_cast<const DRIVER_INFO_3W*>(buffer.data()));
}

std::vector<PrinterRecord> SpoolerPrinters() {
  DWORD count = 0;
  const std::vector<BYTE> buffer = Enumerate(
      "EnumPrintersW",
      [](BYTE* data, DWORD size, DWORD* needed, DWORD* returned) {
        return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, data, size, needed, returned) != FALSE;
      },
      &count);
  std::vector<PrinterRecord> printers;
  const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
  for (DWORD i = 0; i < count; ++i) printers.push_back(FromInfo2(info[i]));
  return printers;
}

std::vector<PrinterRecord> SpoolerPrintersNamed(const std::wstring& name) {
  std::vector<PrinterRecord> named;
  for (PrinterRecord& printer : SpoolerPrinters()) {
    if (printer.name == name) named.push_back(std::move(printer));
  }
  return named;
}

std::optional<PrinterRecord> SpoolerPrinter(const std::wstring& name) {
  Printer printer(name);
  if (!printer.get()) return std::nullopt;
  DWORD needed = 0;
  GetPrinterW(printer.get(), 2, nullptr, 0, &needed);
  if (needed == 0) Fail("GetPrinterW level 2 for " + Utf8(name) + " gave no size: " + LastErrorText());
  std::vector<BYTE> buffer(needed);
  if (!GetPrinterW(printer.get(), 2, buffer.data(), needed, &needed)) {
    Fail("GetPrinterW level 2 for " + Utf8(name) + " failed: " + LastErrorText());
  }
  return FromInfo2(*reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data()));
}

std::wstring DriverDirectory(const std::wstring& environment) {
  std::vector<BYTE> buffer(2 * (MAX_PATH + 1) * sizeof(wchar_t), 0);
  DWORD needed = 0;
  LPWSTR env = const_cast<LPWSTR>(environment.c_str());
  if (!GetPrinterDriverDirectoryW(nullptr, env, 1, buffer.data(), static_cast<DWORD>(buffer.size()), &needed)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
      Fail("GetPrinterDriverDirectoryW for " + Utf8(environment) + " failed: " + LastErrorText());
    }
    buffer.assign(needed + sizeof(wchar_t), 0);
    if (!GetPrinterDriverDirectoryW(nullptr, env, 1, buffer.data(), static_cast<DWORD>(buffer.size()), &needed)) {
      Fail("GetPrinterDriverDirectoryW for " + Utf8(environment) + " failed: " + LastErrorText());
    }
  }
  std::wstring directory(reinterpret_cast<const wchar_t*>(buffer.data()));
  if (directory.empty()) Fail("GetPrinterDriverDirectoryW gave an empty directory for " + Utf8(environment));
  return directory;
}

void RegisterTestDriver(const std::wstring& environment, const std::wstring& name) {
  const std::wstring directory = DriverDirectory(environment);
  CreateDirectoryW(directory.c_str(), nullptr);
  const std::wstring& folder = CurrentTarget().packageFolder;
  const bool real = !TestPackages::MachineFile(folder, L"uniDRV.DLL").empty() && environment == CurrentTarget().environment;
  // Driver, configuration file, data file, then the dependent files.
  const std::vector<std::wstring> files =
      real ? std::vector<std::wstring>{L"UNIDRV.DLL", L"UNIDRVUI.DLL", L"ORIELTEST.GPD", L"UNIRES.DLL"}
           : std::vector<std::wstring>{L"placeholder-driver.dll", L"placeholder-ui.dll", L"placeholder.gpd"};
  for (const std::wstring& file : files) {
    const std::wstring path = directory + L"\\" + file;
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) Fail("cannot create " + Utf8(path) + ": " + LastErrorText());
    const std::string text = real ? TestPackages::Contents(folder, file)
                                  : "Oriel end-to-end placeholder, not a printer driver.\r\n";
    DWORD written = 0;
    const BOOL ok = WriteFile(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(handle);
    if (!ok) Fail("cannot write " + Utf8(path) + ": " + LastErrorText());
  }
  const std::wstring driverPath = L"\\" + files[0], configFile = L"\\" + files[1], dataFile = L"\\" + files[2];
  std::wstring dependentFiles = files.size() > 3 ? files[3] : L"";
  dependentFiles.push_back(L'\0');
  DRIVER_INFO_3W info{};
  info.cVersion = real ? 3 : 2;
  info.pName = const_cast<LPWSTR>(name.c_str());
  info.pEnvironment = const_cast<LPWSTR>(environment.c_str());
  info.pDriverPath = const_cast<LPWSTR>(driverPath.c_str());
  info.pConfigFile = const_cast<LPWSTR>(configFile.c_str());
  info.pDataFile = const_cast<LPWSTR>(dataFile.c_str());
  info.pDependentFiles = dependentFiles.data();
  info.pMonitorName = const_cast<LPWSTR>(L"");
  info.pDefaultDataType = const_cast<LPWSTR>(L"RAW");
  if (!AddPrinterDriverW(nullptr, 3, reinterpret_cast<BYTE*>(&info))) {
    Fail("AddPrinterDriverW for " + Utf8(name) + " in " + Utf8(environment) + " failed: " + LastErrorText());
  }
}

// ---- Registry ----

std::optional<std::wstring> ReadRegistryText(HKEY root, const std::wstring& path, const std::wstring& name) {
  Key key(root, path, KEY_QUERY_VALUE);
  if (!key.get()) return std::nullopt;
  DWORD type = 0, size = 0;
  LONG status = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, nullptr, &size);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (status != ERROR_SUCCESS) Fail("cannot read " + KeyName(root, path) + " " + Utf8(name) + ": " + ErrorText(status));
  if (type != REG_SZ) Fail(KeyName(root, path) + " " + Utf8(name) + " is of type " + std::to_string(type) + ", not REG_SZ");
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  status = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &got);
  if (status != ERROR_SUCCESS) Fail("cannot read " + KeyName(root, path) + " " + Utf8(name) + ": " + ErrorText(status));
  text.resize(got / sizeof(wchar_t));
  while (!text.empty() && text.back() == L'\0') text.pop_back();
  return text;
}

std::optional<DWORD> ReadRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name) {
  Key key(root, path, KEY_QUERY_VALUE);
  if (!key.get()) return std::nullopt;
  DWORD type = 0, value = 0, size = sizeof(value);
  const LONG status = RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (status == ERROR_FILE_NOT_FOUND) return std::nullopt;
  if (status != ERROR_SUCCESS) Fail("cannot read " + KeyName(root, path) + " " + Utf8(name) + ": " + ErrorText(status));
  if (type != REG_DWORD) Fail(KeyName(root, path) + " " + Utf8(name) + " is of type " + std::to_string(type) + ", not REG_DWORD");
  return value;
}

void WriteRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value, REGSAM view) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | view, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) Fail("cannot open " + KeyName(root, path) + ": " + ErrorText(status));
  status = RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) Fail("cannot write " + KeyName(root, path) + " " + Utf8(name) + ": " + ErrorText(status));
}

std::map<std::wstring, std::wstring> RegistryTexts(HKEY root, const std::wstring& path) {
  std::map<std::wstring, std::wstring> values;
  Key key(root, path, KEY_QUERY_VALUE);
  if (!key.get()) return values;
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD nameLength = 16384, type = 0;
    const LONG status = RegEnumValueW(key.get(), index, name, &nameLength, nullptr, &type, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) Fail("cannot list " + KeyName(root, path) + ": " + ErrorText(status));
    if (type != REG_SZ) continue;
    const std::wstring valueName(name, nameLength);
    values[valueName] = ReadRegistryText(root, path, valueName).value_or(L"");
  }
  return values;
}

void WriteRegistryText(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& text) {
  HKEY key = nullptr;
  LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) Fail("cannot open " + KeyName(root, path) + ": " + ErrorText(status));
  status = RegSetValueExW(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) Fail("cannot set " + KeyName(root, path) + " " + Utf8(name) + ": " + ErrorText(status));
}

void DeleteRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name) {
  Key key(root, path, KEY_SET_VALUE);
  if (!key.get()) return;
  const LONG status = RegDeleteValueW(key.get(), name.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    Fail("cannot delete " + KeyName(root, path) + " " + Utf8(name) + ": " + ErrorText(status));
  }
}

void CreateRegistryKey(HKEY root, const std::wstring& path) {
  HKEY key = nullptr;
  const LONG status = RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) Fail("cannot create " + KeyName(root, path) + ": " + ErrorText(status));
  RegCloseKey(key);
}

void DeleteRegistryKey(HKEY root, const std::wstring& path) {
  const LONG status = RegDeleteTreeW(root, path.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
    Fail("cannot delete " + KeyName(root, path) + ": " + ErrorText(status));
  }
}

namespace {

// Windows' local monitor reads the Ports key when the spooler starts; later
// changes go through it (so does the rehearsal of a Windows host under Wine).
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/winsplp/nf-winsplp-xcvdataport
void LocalMonitorCommand(const wchar_t* command, const std::wstring& port) {
  PRINTER_DEFAULTSW defaults{nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
  HANDLE monitor = nullptr;
  if (!OpenPrinterW(const_cast<LPWSTR>(L",XcvMonitor Local Port"), &monitor, &defaults)) {
    Fail("cannot open the local port monitor: " + LastErrorText());
  }
  DWORD needed = 0, status = 0;
  const BOOL ok = XcvDataW(monitor, command, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(port.c_str())),
                           static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t)), nullptr, 0, &needed, &status);
  const DWORD error = GetLastError();
  ClosePrinter(monitor);
  if (!ok || status != ERROR_SUCCESS) {
    Fail("XcvData " + Utf8(command) + " " + Utf8(port) + " failed: " + ErrorText(ok ? status : error));
  }
}

}  // namespace

void RemovePorts(const std::vector<std::wstring>& names) {
  for (const std::wstring& name : names) {
    if (UnderWine() && !WindowsHost()) {
      DeleteRegistryValue(HKEY_LOCAL_MACHINE, kPortsKey, name);
    } else {
      LocalMonitorCommand(L"DeletePort", name);
    }
  }
}

void AddPorts(const std::vector<std::wstring>& names) {
  for (const std::wstring& name : names) {
    if (UnderWine() && !WindowsHost()) {
      WriteRegistryText(HKEY_LOCAL_MACHINE, kPortsKey, name, L"");
    } else {
      LocalMonitorCommand(L"AddPort", name);
    }
  }
}

// ---- Files ----

std::wstring FileNamePart(const std::wstring& path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

bool SameName(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()), TRUE) ==
         CSTR_EQUAL;
}

// ---- Isolation ----

namespace {

const MachineSnapshot* gCurrentSnapshot = nullptr;

std::wstring Upper(std::wstring text) {
  CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
  return text;
}

// Wine's own spooler knows the 98 environment too (the Win98 case uses it).
const std::vector<std::wstring>& SnapshotEnvironments() {
  static const std::vector<std::wstring> environments = {kEnvironmentX86, kEnvironmentX64, L"Windows 4.0"};
  return environments;
}

// The 64-bit view: under WOW64 the Ports, Print and Policies keys are shared
// and CurrentVersion is the one a 64-bit Oriel reads.
constexpr REGSAM kView = KEY_WOW64_64KEY;

MachineSnapshot::Key ReadKey(HKEY root, const std::wstring& path, const std::vector<std::wstring>& only) {
  MachineSnapshot::Key state{root, path, only, false, {}};
  Key key(root, path, KEY_QUERY_VALUE | kView);
  if (!key.get()) return state;
  state.existed = true;
  DWORD count = 0, longestName = 0, longestData = 0;
  RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, &longestName,
                   &longestData, nullptr, nullptr);
  for (DWORD index = 0; index < count; ++index) {
    std::wstring name(longestName + 1, L'\0');
    std::vector<BYTE> data(longestData + 2);
    DWORD nameLength = longestName + 1, type = 0, size = static_cast<DWORD>(data.size());
    if (RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) {
      continue;
    }
    name.resize(nameLength);
    data.resize(size);
    bool kept = only.empty();
    for (const std::wstring& wanted : only) kept = kept || SameName(wanted, name);
    if (kept) state.values[Upper(name)] = {name, type, data};
  }
  return state;
}

void RestoreKey(const MachineSnapshot::Key& before, std::vector<std::string>* problems) {
  const std::string where = KeyName(before.root, before.path);
  if (!before.existed) {
    const LONG status = RegDeleteTreeW(before.root, before.path.c_str());
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) problems->push_back("cannot delete " + where);
    return;
  }
  const MachineSnapshot::Key now = ReadKey(before.root, before.path, before.only);
  if (now.values == before.values && now.existed) return;
  HKEY key = nullptr;
  if (RegCreateKeyExW(before.root, before.path.c_str(), 0, nullptr, 0, KEY_SET_VALUE | kView, nullptr, &key, nullptr) !=
      ERROR_SUCCESS) {
    problems->push_back("cannot open " + where + " to put its values back");
    return;
  }
  // A name whose letter case changed ("lpt1:" for "LPT1:") goes too: a set keeps the case it finds.
  for (const auto& [upper, value] : now.values) {
    const auto kept = before.values.find(upper);
    if (kept != before.values.end() && kept->second.name == value.name) continue;
    if (RegDeleteValueW(key, value.name.c_str()) != ERROR_SUCCESS) {
      problems->push_back("cannot delete " + where + " " + Utf8(value.name));
    }
  }
  for (const auto& [upper, value] : before.values) {
    const auto current = now.values.find(upper);
    if (current != now.values.end() && current->second == value) continue;
    if (RegSetValueExW(key, value.name.c_str(), 0, value.type, value.data.data(),
                       static_cast<DWORD>(value.data.size())) != ERROR_SUCCESS) {
      problems->push_back("cannot put back " + where + " " + Utf8(value.name));
    }
  }
  RegCloseKey(key);
}

void ListFiles(const std::wstring& folder, int depth, std::map<std::wstring, MachineSnapshot::Stamp>* files) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = folder + L"\\" + name;
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      if (depth > 0) ListFiles(path, depth - 1, files);
      (*files)[Upper(path) + L"\\"] = {0, {}};
    } else {
      (*files)[Upper(path)] = {(ULONGLONG{found.nFileSizeHigh} << 32) | found.nFileSizeLow, found.ftLastWriteTime};
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

std::map<std::wstring, MachineSnapshot::Stamp> DriverFiles() {
  std::map<std::wstring, MachineSnapshot::Stamp> files;
  for (const std::wstring& environment : SnapshotEnvironments()) {
    try {
      ListFiles(DriverDirectory(environment), 3, &files);
    } catch (const std::exception&) {
      // An environment this spooler does not know has no directory.
    }
  }
  return files;
}

std::wstring DefaultPrinter() {
  DWORD size = 0;
  GetDefaultPrinterW(nullptr, &size);
  std::wstring name(size + 1, L'\0');
  if (size == 0 || !GetDefaultPrinterW(name.data(), &size)) return {};
  return name.c_str();
}

std::vector<MachineSnapshot::Key> ReadKeys() {
  const std::wstring exe = ExeFileName(GetEnv(L"ORIEL_EXE").empty() ? L"Oriel.exe" : GetEnv(L"ORIEL_EXE"));
  std::vector<MachineSnapshot::Key> keys;
  for (const auto& [root, path, only] : std::vector<std::tuple<HKEY, std::wstring, std::vector<std::wstring>>>{
           {HKEY_CURRENT_USER, kWindowsKey, {}},
           {HKEY_LOCAL_MACHINE, kPortsKey, {}},
           {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP", {}},
           {HKEY_CURRENT_USER, L"Software\\Oriel isolation trace", {}},
           {HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\" + exe, {}},
           {HKEY_CURRENT_USER, L"Control Panel\\Desktop", {L"LogPixels"}},
           {HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", {L"CurrentMajorVersionNumber"}}}) {
    keys.push_back(ReadKey(root, path, only));
  }
  return keys;
}

}  // namespace

MachineSnapshot::MachineSnapshot()
    : keys_(ReadKeys()), files_(DriverFiles()), defaultPrinter_(DefaultPrinter()) {
  for (const PrinterRecord& printer : SpoolerPrinters()) printers_.push_back(printer.name);
  for (const std::wstring& environment : SnapshotEnvironments()) {
    try {
      for (const DriverRecord& driver : SpoolerDrivers(environment)) drivers_.emplace_back(environment, driver);
    } catch (const std::exception&) {
    }
  }
  gCurrentSnapshot = this;
}

MachineSnapshot::~MachineSnapshot() {
  if (gCurrentSnapshot == this) gCurrentSnapshot = nullptr;
}

std::vector<std::string> MachineSnapshot::Restore() {
  std::vector<std::string> problems;
  const auto attempt = [&](const std::string& what, const std::function<void()>& step) {
    try {
      step();
    } catch (const std::exception& e) {
      problems.push_back(what + ": " + e.what());
    }
  };
  attempt("printers", [&] {
    for (const PrinterRecord& printer : SpoolerPrinters()) {
      if (std::find(printers_.begin(), printers_.end(), printer.name) != printers_.end()) continue;
      PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
      HANDLE handle = nullptr;
      if (!OpenPrinterW(const_cast<LPWSTR>(printer.name.c_str()), &handle, &defaults) || !DeletePrinter(handle)) {
        problems.push_back("cannot delete the printer " + Utf8(printer.name) + ": " + LastErrorText());
      }
      if (handle) ClosePrinter(handle);
    }
  });
  for (const std::wstring& environment : SnapshotEnvironments()) {
    std::vector<DriverRecord> now;
    try {
      now = SpoolerDrivers(environment);
    } catch (const std::exception&) {
      continue;
    }
    for (const DriverRecord& driver : now) {
      const bool before = std::any_of(drivers_.begin(), drivers_.end(), [&](const auto& known) {
        return known.first == environment && known.second.name == driver.name && known.second.version == driver.version;
      });
      if (before) continue;
      // Wine takes no delete flags (it removes the record only); the files
      // go with the driver directory's below.
      // https://learn.microsoft.com/en-us/windows/win32/printdocs/deleteprinterdriverex
      const DWORD flags = UnderWine() ? 0 : DPD_DELETE_UNUSED_FILES | DPD_DELETE_SPECIFIC_VERSION;
      if (!DeletePrinterDriverExW(nullptr, const_cast<LPWSTR>(environment.c_str()),
                                  const_cast<LPWSTR>(driver.name.c_str()), flags, driver.version)) {
        problems.push_back("cannot delete the driver " + Utf8(driver.name) + " (" + Utf8(environment) +
                           "): " + LastErrorText());
      }
    }
  }
  attempt("ports", [&] {
    const std::map<std::wstring, std::wstring> now = RegistryTexts(HKEY_LOCAL_MACHINE, kPortsKey);
    const Key& before = keys_[1];
    std::vector<std::wstring> added, removed;
    for (const auto& [name, value] : now) {
      if (!before.values.count(Upper(name))) added.push_back(name);
    }
    for (const auto& [upper, value] : before.values) {
      if (!std::any_of(now.begin(), now.end(), [&](const auto& port) { return SameName(port.first, upper); })) {
        removed.push_back(value.name);
      }
    }
    RemovePorts(added);
    AddPorts(removed);
  });
  for (const Key& key : keys_) RestoreKey(key, &problems);
  if (!defaultPrinter_.empty() && DefaultPrinter() != defaultPrinter_ &&
      !SetDefaultPrinterW(defaultPrinter_.c_str())) {
    problems.push_back("cannot make " + Utf8(defaultPrinter_) + " the default printer again: " + LastErrorText());
  }
  // Deepest first, so that a new folder is empty when its turn comes.
  const std::map<std::wstring, Stamp> now = DriverFiles();
  for (auto entry = now.rbegin(); entry != now.rend(); ++entry) {
    if (files_.count(entry->first)) continue;
    const std::wstring& path = entry->first;
    const bool folder = path.back() == L'\\';
    if (folder) {
      RemoveDirectoryW(path.c_str());  // one the spooler still fills stays
      continue;
    }
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(path.c_str())) continue;
    const std::string why = LastErrorText();
    // A file the spooler still has loaded goes when Windows next starts.
    if (!UnderWine() && MoveFileExW(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
      std::printf("isolation: %s is in use (%s); it goes at the next restart\n", Utf8(path).c_str(), why.c_str());
    } else {
      problems.push_back("cannot delete " + Utf8(path) + ": " + why);
    }
  }
  return problems;
}

bool UnchangedSinceTheCaseBegan(const std::wstring& path) {
  if (!gCurrentSnapshot) return false;
  const auto before = gCurrentSnapshot->files_.find(Upper(path));
  WIN32_FILE_ATTRIBUTE_DATA now{};
  if (before == gCurrentSnapshot->files_.end() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &now)) {
    return false;
  }
  return before->second.size == ((ULONGLONG{now.nFileSizeHigh} << 32) | now.nFileSizeLow) &&
         CompareFileTime(&before->second.written, &now.ftLastWriteTime) == 0;
}

// ---- Pages ----

void WaitForPostedInput(HWND listView) {
  const LRESULT before = SendWithTimeout(listView, LVM_GETHOTITEM);
  const WPARAM marker = before == 0 ? 1 : 0;
  if (!PostMessageW(listView, LVM_SETHOTITEM, marker, 0)) Fail("cannot post to the list view: " + LastErrorText());
  if (!WaitUntil([&] {
        return IsWindow(listView) && SendWithTimeout(listView, LVM_GETHOTITEM) == static_cast<LRESULT>(marker);
      })) {
    Fail("the list view's thread did not get to a message posted to it (" + Describe(listView) + ")");
  }
  SendWithTimeout(listView, LVM_SETHOTITEM, static_cast<WPARAM>(before));
}

}  // namespace e2e
