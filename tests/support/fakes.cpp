#include "tests/support/fakes.h"

#include <algorithm>
#include <cstring>

namespace oriel::testing {
namespace {

FakeText Copied(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

// The dependent-files list ends at the first empty name; a buffer from the
// installer is 255 bytes, so reading stops there whatever it holds.
void CopyDependentFiles(const char* list, RecordedDriver& driver) {
  if (list == nullptr) return;
  std::vector<char> bytes;
  for (std::size_t i = 0; i < kDependentFilesSize; ++i) {
    bytes.push_back(list[i]);
    if (list[i] == '\0' && (i == 0 || list[i - 1] == '\0')) {
      driver.dependentFilesTerminated = true;
      break;
    }
  }
  driver.dependentFiles = std::move(bytes);
}

std::string Shown(const FakeText& text) { return text ? "\"" + *text + "\"" : "null"; }

RecordedPrinter Recorded(const PrinterRecord2& r) {
  return RecordedPrinter{Copied(r.pServerName), Copied(r.pPrinterName), Copied(r.pShareName),
                         Copied(r.pPortName), Copied(r.pDriverName), Copied(r.pComment),
                         Copied(r.pLocation), Copied(r.pSepFile), Copied(r.pPrintProcessor),
                         Copied(r.pDatatype), Copied(r.pParameters), r.pDevMode,
                         Copied(static_cast<const char*>(r.pDevMode)), r.pSecurityDescriptor,
                         r.Attributes, r.Priority, r.DefaultPriority, r.StartTime, r.UntilTime, r.Status,
                         r.cJobs, r.AveragePPM};
}

}  // namespace

// ---- Spooler ----

EnumAnswer FakeSpooler::EnumPorts2(std::byte* buffer, std::uint32_t size) {
  Log("EnumPorts2 " + std::to_string(size));
  return ports.Call(buffer, size);
}

EnumAnswer FakeSpooler::EnumMonitors1(std::byte* buffer, std::uint32_t size) {
  Log("EnumMonitors1 " + std::to_string(size));
  return monitors.Call(buffer, size);
}

std::uint32_t FakeSpooler::AddPort(WindowHandle owner, const std::string& monitorName) {
  Log("AddPort " + monitorName);
  addPortCalls.push_back({owner, monitorName});
  if (onAddPort) onAddPort(monitorName);
  return addPortError;
}

std::uint32_t FakeSpooler::ConfigurePort(WindowHandle owner, const std::string& portName) {
  Log("ConfigurePort " + portName);
  configurePortCalls.push_back({owner, portName});
  return configurePortError;
}

std::uint32_t FakeSpooler::GetPrinterDriverDirectory(const std::string& environment, char* buffer,
                                                     std::uint32_t size) {
  Log("GetPrinterDriverDirectory " + environment + " " + std::to_string(size));
  DirectoryCall call{environment, size, true};
  for (std::uint32_t i = 0; i < size; ++i) call.bufferWasZeroed = call.bufferWasZeroed && buffer[i] == '\0';
  directoryCalls.push_back(call);
  if (directoryError != 0) return directoryError;
  const std::size_t n = std::min<std::size_t>(directoryText.size(), size);
  std::memcpy(buffer, directoryText.data(), n);
  if (n < size) buffer[n] = '\0';
  return 0;
}

std::uint32_t FakeSpooler::AddPrinterDriver3(const DriverInfo3& info) {
  RecordedDriver driver;
  driver.cVersion = info.cVersion;
  driver.pName = Copied(info.pName);
  driver.pEnvironment = Copied(info.pEnvironment);
  driver.pDriverPath = Copied(info.pDriverPath);
  driver.pDataFile = Copied(info.pDataFile);
  driver.pConfigFile = Copied(info.pConfigFile);
  driver.pHelpFile = Copied(info.pHelpFile);
  CopyDependentFiles(info.pDependentFiles, driver);
  driver.pMonitorName = Copied(info.pMonitorName);
  driver.pDefaultDataType = Copied(info.pDefaultDataType);
  Log("AddPrinterDriver3 " + Shown(driver.pName) + " " + Shown(driver.pEnvironment));
  drivers.push_back(std::move(driver));
  return addDriverError;
}

PrinterHandle FakeSpooler::AddPrinter2(const PrinterRecord2& info, std::uint32_t& error) {
  RecordedPrinter printer = Recorded(info);
  Log("AddPrinter2 " + Shown(printer.pPrinterName) + " " + Shown(printer.pPortName));
  const bool exists = existingPrinter && printer.pPrinterName == existingPrinter->printerName;
  printers.push_back(std::move(printer));
  if (exists) {
    error = kErrorPrinterAlreadyExists;
    return nullptr;
  }
  if (addPrinterError != 0) {
    error = addPrinterError;
    return nullptr;
  }
  return PrinterHandleGiven();
}

PrinterRecord2 StoredPrinter::Record() {
  const auto text = [](const std::string& s) { return s.c_str(); };
  return PrinterRecord2{text(serverName), text(printerName), text(shareName), text(portName), text(driverName),
                        text(comment), text(location), devModeText.data(), text(sepFile), text(printProcessor),
                        text(datatype), text(parameters), &securityToken, attributes, priority,
                        defaultPriority, startTime, untilTime, status, cJobs, averagePPM};
}

PrinterHandle FakeSpooler::OpenPrinter(const std::string& name, std::uint32_t& error) {
  Log("OpenPrinter \"" + name + "\"");
  openedPrinters.push_back(name);
  error = openPrinterError;
  if (error == 0 && !(existingPrinter && existingPrinter->printerName == name)) error = 1801;  // ERROR_INVALID_PRINTER_NAME
  return error == 0 ? PrinterHandleGiven() : nullptr;
}

std::uint32_t FakeSpooler::GetPrinter2(PrinterHandle handle, std::byte* buffer, std::uint32_t size,
                                       std::uint32_t& needed) {
  Log("GetPrinter2 " + std::to_string(size));
  needed = 0;
  if (handle != PrinterHandleGiven() || !existingPrinter) return 6;  // ERROR_INVALID_HANDLE
  if (getPrinterError != 0) return getPrinterError;
  if (getPrinterNeeded) {
    needed = *getPrinterNeeded;
    return kErrorInsufficientBuffer;
  }
  const std::vector<std::byte> answer = PrinterBuffer(*existingPrinter);
  needed = static_cast<std::uint32_t>(answer.size());
  if (buffer == nullptr || size < needed) return kErrorInsufficientBuffer;
  // Pointers are relative to the answer; move them to the caller's buffer.
  std::memcpy(buffer, answer.data(), answer.size());
  PrinterRecord2 record;
  std::memcpy(&record, buffer, sizeof(record));
  const auto moved = [&](auto* pointer) {
    using Pointer = decltype(pointer);
    if (pointer == nullptr) return pointer;
    const auto* at = reinterpret_cast<const std::byte*>(pointer);
    if (at < answer.data() || at >= answer.data() + answer.size()) return pointer;  // not in the answer
    return reinterpret_cast<Pointer>(buffer + (at - answer.data()));
  };
  record.pServerName = moved(record.pServerName);
  record.pPrinterName = moved(record.pPrinterName);
  record.pShareName = moved(record.pShareName);
  record.pPortName = moved(record.pPortName);
  record.pDriverName = moved(record.pDriverName);
  record.pComment = moved(record.pComment);
  record.pLocation = moved(record.pLocation);
  record.pDevMode = moved(record.pDevMode);
  record.pSepFile = moved(record.pSepFile);
  record.pPrintProcessor = moved(record.pPrintProcessor);
  record.pDatatype = moved(record.pDatatype);
  record.pParameters = moved(record.pParameters);
  std::memcpy(buffer, &record, sizeof(record));
  return 0;
}

std::vector<std::byte> PrinterBuffer(StoredPrinter& printer) {
  const PrinterRecord2 alone = printer.Record();
  std::vector<std::byte> bytes(sizeof(PrinterRecord2));
  std::vector<std::pair<std::size_t, std::size_t>> fixups;  // (field offset, data offset)
  const auto append = [&](std::size_t fieldOffset, const void* data, std::size_t size) {
    fixups.emplace_back(fieldOffset, bytes.size());
    const auto* from = static_cast<const std::byte*>(data);
    bytes.insert(bytes.end(), from, from + size);
  };
  const auto text = [&](std::size_t fieldOffset, const char* value) {
    if (value != nullptr) append(fieldOffset, value, std::strlen(value) + 1);
  };
  text(offsetof(PrinterRecord2, pServerName), alone.pServerName);
  text(offsetof(PrinterRecord2, pPrinterName), alone.pPrinterName);
  text(offsetof(PrinterRecord2, pShareName), alone.pShareName);
  text(offsetof(PrinterRecord2, pPortName), alone.pPortName);
  text(offsetof(PrinterRecord2, pDriverName), alone.pDriverName);
  text(offsetof(PrinterRecord2, pComment), alone.pComment);
  text(offsetof(PrinterRecord2, pLocation), alone.pLocation);
  text(offsetof(PrinterRecord2, pSepFile), alone.pSepFile);
  text(offsetof(PrinterRecord2, pPrintProcessor), alone.pPrintProcessor);
  text(offsetof(PrinterRecord2, pDatatype), alone.pDatatype);
  text(offsetof(PrinterRecord2, pParameters), alone.pParameters);
  std::vector<char> devMode(kFakeDevModeSize, '\0');
  std::copy_n(printer.devModeText.begin(), std::min(printer.devModeText.size(), kFakeDevModeSize - 1), devMode.begin());
  append(offsetof(PrinterRecord2, pDevMode), devMode.data(), devMode.size());
  std::memcpy(bytes.data(), &alone, sizeof(alone));
  for (const auto& [field, data] : fixups) {
    std::byte* pointer = bytes.data() + data;
    std::memcpy(bytes.data() + field, &pointer, sizeof(pointer));
  }
  return bytes;
}

std::uint32_t FakeSpooler::SetPrinter2(PrinterHandle handle, const PrinterRecord2& r) {
  RecordedPrinter copy = Recorded(r);
  Log("SetPrinter2 " + Shown(copy.pPrinterName) + " " + Shown(copy.pPortName) + " " + Shown(copy.pDriverName));
  setPrinterRecords.push_back(std::move(copy));
  if (handle != PrinterHandleGiven()) return 6;
  if (setPrinterError != 0) return setPrinterError;
  const RecordedPrinter& set = setPrinterRecords.back();
  if (set.pPortName) existingPrinter->portName = *set.pPortName;
  if (set.pDriverName) existingPrinter->driverName = *set.pDriverName;
  return 0;
}

void FakeSpooler::ClosePrinter(PrinterHandle handle) {
  Log(handle == PrinterHandleGiven() ? "ClosePrinter" : "ClosePrinter (foreign handle)");
  closedPrinters.push_back(handle);
}

// ---- Registry ----

const char* RootName(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::CurrentUser: return "HKCU";
    case RegistryRoot::LocalMachine: return "HKLM";
    case RegistryRoot::Users: return "HKU";
  }
  return "?";
}

std::optional<std::string> FakeRegistry::Value(RegistryRoot root, const std::string& path,
                                               const std::string& name) const {
  const auto found = values.find({root, path, name});
  if (found == values.end()) return std::nullopt;
  return found->second;
}

std::uint32_t FakeRegistry::OpenForSetValue(RegistryRoot root, const std::string& path, RegistryKey& key) {
  RegistryOpen open{root, path, "KEY_SET_VALUE", false, nullptr};
  if (const auto refused = refusedRoots.find(root); refused != refusedRoots.end()) {
    Log(std::string("open ") + RootName(root) + "\\" + path + " refused");
    opens.push_back(open);
    return refused->second;
  }
  keySlots_.emplace_back(root, path);
  key = reinterpret_cast<RegistryKey>(static_cast<std::uintptr_t>(keySlots_.size()));
  open.opened = true;
  open.key = key;
  opens.push_back(open);
  openKeys.insert(key);
  Log(std::string("open ") + RootName(root) + "\\" + path);
  return 0;
}

std::uint32_t FakeRegistry::Set(RegistryKey key, const std::string& name, const std::string& text,
                                const std::optional<std::uint32_t>& dword) {
  const auto slot = reinterpret_cast<std::uintptr_t>(key);
  RegistrySet set{key, {}, {}, name, text, false};
  if (openKeys.count(key) == 0 || slot == 0 || slot > keySlots_.size()) {
    Log("set " + name + " on a key that is not open");
    sets.push_back(set);
    return 6;  // ERROR_INVALID_HANDLE
  }
  set.root = keySlots_[slot - 1].first;
  set.path = keySlots_[slot - 1].second;
  std::uint32_t error = 0;
  if (const auto failing = failingValues.find(name); failing != failingValues.end()) error = failing->second;
  set.succeeded = error == 0;
  if (set.succeeded && dword) dwords[{set.root, set.path, name}] = *dword;
  if (set.succeeded && !dword) values[{set.root, set.path, name}] = text;
  Log("set " + name + " = " + (dword ? text : "\"" + text + "\"") + (set.succeeded ? "" : " failed"));
  sets.push_back(std::move(set));
  return error;
}

std::uint32_t FakeRegistry::SetString(RegistryKey key, const std::string& name, const std::string& text) {
  return Set(key, name, text, std::nullopt);
}

std::uint32_t FakeRegistry::SetDword(RegistryKey key, const std::string& name, std::uint32_t value) {
  return Set(key, name, "dword " + std::to_string(value), value);
}

std::uint32_t FakeRegistry::QueryDword(RegistryRoot root, const std::string& path, const std::string& name,
                                       std::uint32_t& value) {
  Log(std::string("query ") + RootName(root) + "\\" + path + " " + name);
  if (const auto refused = refusedRoots.find(root); refused != refusedRoots.end()) return refused->second;
  if (const auto unreadable = unreadableValues.find(name); unreadable != unreadableValues.end())
    return unreadable->second;
  const auto found = dwords.find({root, path, name});
  if (found == dwords.end()) return kErrorFileNotFound;
  value = found->second;
  return 0;
}

std::uint32_t FakeRegistry::DeleteValue(RegistryKey key, const std::string& name) {
  const auto slot = reinterpret_cast<std::uintptr_t>(key);
  if (openKeys.count(key) == 0 || slot == 0 || slot > keySlots_.size()) return 6;  // ERROR_INVALID_HANDLE
  const auto& [root, path] = keySlots_[slot - 1];
  const bool had = dwords.erase({root, path, name}) + values.erase({root, path, name}) > 0;
  Log("delete " + name + (had ? "" : " (absent)"));
  return had ? 0 : kErrorFileNotFound;
}

void FakeRegistry::Close(RegistryKey key) {
  Log(openKeys.erase(key) == 1 ? "close key" : "close key that is not open");
  closes.push_back(key);
}

// ---- Print Spooler service ----

ServiceCallResult FakeSpoolerService::Call(const std::string& name, const char* call) {
  if (meanwhile) meanwhile(name);
  const auto refused = refusals.find(name);
  if (refused == refusals.end()) return {};
  return {refused->second.error, refused->second.call != nullptr ? refused->second.call : call};
}

ServiceCallResult FakeSpoolerService::Log(const std::string& name, ServiceCallResult result) {
  if (log_) {
    log_->Add("service " + name +
              (result.error != 0 ? " refused " + std::to_string(result.error) + " by " + result.call : ""));
  }
  return result;
}

ServiceCallResult FakeSpoolerService::QueryStartKind(ServiceStartKind& kind) {
  const ServiceCallResult result = Call("QueryStartKind", "QueryServiceConfigW");
  if (result.error == 0) kind = startKind;
  return Log("QueryStartKind", result);
}

ServiceCallResult FakeSpoolerService::SetAutomatic() {
  const ServiceCallResult result = Call("SetAutomatic", "ChangeServiceConfigW");
  if (result.error == 0) startKind = ServiceStartKind::Automatic;
  return Log("SetAutomatic", result);
}

ServiceCallResult FakeSpoolerService::SetDisabled() {
  const ServiceCallResult result = Call("SetDisabled", "ChangeServiceConfigW");
  if (result.error == 0) startKind = ServiceStartKind::Disabled;
  return Log("SetDisabled", result);
}

// StartServiceW: ERROR_SERVICE_ALREADY_RUNNING for a running service,
// ERROR_SERVICE_DISABLED for a disabled one.
ServiceCallResult FakeSpoolerService::Start() {
  ServiceCallResult result = Call("Start", "StartServiceW");
  if (result.error == 0 && state == kServiceRunning) result = {1056, "StartServiceW"};
  if (result.error == 0 && startKind == ServiceStartKind::Disabled) result = {1058, "StartServiceW"};
  if (result.error == 0) {
    started_ = true;
    queriesAfterStart_ = 0;
    state = kServiceStartPending;
  }
  return Log("Start", result);
}

ServiceCallResult FakeSpoolerService::QueryStatus(ServiceStatus& status) {
  const ServiceCallResult result = Call("QueryStatus", "QueryServiceStatusEx");
  if (result.error == 0) {
    status = ServiceStatus{state};
    if (started_) {
      if (statusesAfterStart.empty()) {
        status.state = kServiceRunning;
      } else {
        status = statusesAfterStart[std::min(queriesAfterStart_++, statusesAfterStart.size() - 1)];
      }
      state = status.state;
    }
  }
  return Log("QueryStatus", result);
}

// ---- Files ----

std::uint32_t FakeFileSystem::CopyReplacing(const std::string& source, const std::string& destination) {
  std::uint32_t error = 0;
  if (const auto failing = failingSources.find(source); failing != failingSources.end()) error = failing->second;
  if (failingCopyIndex && *failingCopyIndex == copies.size()) error = failingCopyError;
  // https://learn.microsoft.com/en-us/windows/win32/api/winbase/nf-winbase-copyfile
  if (readOnly.count(destination) != 0 || hidden.count(destination) != 0) error = kErrorAccessDenied;
  if (error == 0) {
    if (readOnly.count(source) != 0) readOnly.insert(destination);
    if (hidden.count(source) != 0) hidden.insert(destination);
  }
  copies.push_back({source, destination, error});
  if (log_) log_->Add("copy " + source + " -> " + destination + (error == 0 ? "" : " failed"));
  return error;
}

std::uint32_t FakeFileSystem::CheckReadable(const std::string& path) {
  checked.push_back(path);
  const auto found = unreadable.find(path);
  const std::uint32_t error = found == unreadable.end() ? 0 : found->second;
  if (log_) log_->Add("check " + path + (error == 0 ? "" : " failed"));
  return error;
}

std::uint32_t FakeFileSystem::MakeReplaceable(const std::string& path) {
  constexpr std::uint32_t kArchive = 0x20;
  const std::uint32_t attributes = kArchive | (readOnly.count(path) != 0 ? kFileAttributeReadOnly : 0) |
                                   (hidden.count(path) != 0 ? kFileAttributeHidden : 0);
  const std::uint32_t kept = ReplaceableAttributes(attributes);
  if (kept == attributes) return 0;
  if ((kept & kFileAttributeReadOnly) == 0) readOnly.erase(path);
  if ((kept & kFileAttributeHidden) == 0) hidden.erase(path);
  if (log_) log_->Add("make replaceable " + path);
  return 0;
}

std::string FakeFileSystem::FullPath(const std::string& path) {
  const bool absolute = (path.size() > 1 && path[1] == ':') || path.rfind("\\\\", 0) == 0;
  return absolute ? path : currentDirectory + "\\" + path;
}

std::u16string FakeFileSystem::CurrentDirectoryName() {
  return currentDirectoryName.value_or(std::u16string(currentDirectory.begin(), currentDirectory.end()));
}

std::u16string FakeFileSystem::ShortPath(const std::u16string& path) {
  const auto found = shortNames.find(path);
  return found == shortNames.end() ? path : found->second;
}

// https://learn.microsoft.com/en-us/windows/win32/api/stringapiset/nf-stringapiset-widechartomultibyte
std::optional<std::string> FakeFileSystem::ToCodePage(const std::u16string& text, std::uint32_t flags,
                                                      bool* usedDefault) {
  constexpr std::uint32_t kNoBestFitChars = 0x400;
  if (codePage == 65001) {
    if (flags != 0 || usedDefault != nullptr) return std::nullopt;
    return Utf8FromUtf16(text);
  }
  std::string bytes;
  bool defaulted = false;
  for (const char16_t c : text) {
    if (c <= 0xFF) {
      bytes += static_cast<char>(c);
    } else if (c == u'\u0141' && (flags & kNoBestFitChars) == 0) {
      bytes += 'L';
    } else {
      bytes += '?';
      defaulted = true;
    }
  }
  if (usedDefault != nullptr) *usedDefault = defaulted;
  return bytes;
}

std::optional<std::u16string> FakeFileSystem::FromCodePage(const std::string& text) {
  std::u16string wide;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (codePage != 65001 || byte < 0x80) {
      wide += static_cast<char16_t>(byte);
      continue;
    }
    // Two-byte sequences are all a folder name here needs.
    if (byte >= 0xE0 || ++i == text.size()) return std::nullopt;
    wide += static_cast<char16_t>(((byte & 0x1F) << 6) | (static_cast<unsigned char>(text[i]) & 0x3F));
  }
  return wide;
}

// ---- System ----

VersionAnswer Version(std::uint32_t major, std::uint32_t minor, std::uint32_t platformId,
                      std::uint8_t productType, std::uint32_t build) {
  VersionAnswer answer;
  answer.info.dwMajorVersion = major;
  answer.info.dwMinorVersion = minor;
  answer.info.dwBuildNumber = build;
  answer.info.dwPlatformId = platformId;
  answer.info.wProductType = productType;
  return answer;
}

VersionAnswer VersionFailure() {
  VersionAnswer answer;
  answer.ok = false;
  return answer;
}

bool FakeSystem::QueryVersion(OsVersionInfoEx& record) {
  const std::uint32_t size = record.dwOSVersionInfoSize;
  versionRequestSizes.push_back(size);
  Log("GetVersionEx " + std::to_string(size));
  if (versionAnswers.empty()) return false;
  const VersionAnswer answer = versionAnswers.front();
  versionAnswers.pop_front();
  // The system refuses any size other than the two record layouts.
  if (!answer.ok || (size != kOsVersionInfoSize && size != kOsVersionInfoExSize)) return false;
  constexpr std::size_t kSizeField = sizeof(record.dwOSVersionInfoSize);
  std::memcpy(reinterpret_cast<char*>(&record) + kSizeField,
              reinterpret_cast<const char*>(&answer.info) + kSizeField, size - kSizeField);
  return true;
}

int FakeSystem::QueryWow64Flag() {
  ++wow64Queries;
  Log("QueryWow64Flag");
  return wow64Flag;
}

bool FakeSystem::QueryRealVersion(OsVersionInfoEx& record) {
  Log("RtlGetVersion");
  if (!realVersion) return false;
  record = *realVersion;
  return true;
}

void FakeSystem::Sleep(std::uint32_t milliseconds) {
  sleeps.push_back(milliseconds);
  Log("sleep " + std::to_string(milliseconds));
}

void FakeSystem::DebugOutput(const std::string& text) {
  debugLines.push_back(text);
  Log("debug " + text);
}

void FakeSystem::BroadcastSettingChange(const std::string& section) {
  settingChanges.push_back(section);
  Log("broadcast WM_SETTINGCHANGE " + section);
}

// ---- Install callbacks ----

void FakeProgress::SetPosition(int percent) {
  positions.push_back(percent);
  if (log_) log_->Add("progress " + std::to_string(percent));
}

void FakeNotifier::RegistryWriteFailed() {
  ++registryWriteFailures;
  if (log_) log_->Add("registry write failed");
}

bool FakeNotifier::AskToStopManagedDefault(std::string_view printerName, std::string_view accountName) {
  questions.emplace_back(printerName, accountName);
  if (log_) log_->Add("ask " + std::string(printerName) + (accountName.empty() ? "" : " for " + std::string(accountName)));
  return stopManagedDefaultAnswer;
}

}  // namespace oriel::testing
