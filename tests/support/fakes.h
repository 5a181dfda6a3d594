#pragma once
// Recording stand-ins for the platform interfaces. Every fake can be given an
// EventLog shared with the others, so a test can check the interleaving of
// copies, spooler calls, registry writes and progress milestones.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "install/installer.h"
#include "platform/files.h"
#include "platform/records.h"
#include "platform/registry.h"
#include "platform/spooler.h"
#include "platform/spooler_service.h"
#include "platform/system.h"
#include "tests/support/fake_enumeration.h"

namespace oriel::testing {

inline constexpr std::uint32_t kErrorFileNotFound = 2;
inline constexpr std::uint32_t kErrorPathNotFound = 3;
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;
inline constexpr std::uint32_t kErrorUnknownPrinterDriver = 1797;

struct EventLog {
  std::vector<std::string> events;
  void Add(std::string event) { events.push_back(std::move(event)); }
};

// ---- Spooler ----

struct DirectoryCall {
  std::string environment;
  std::uint32_t size = 0;
  bool bufferWasZeroed = false;  // every byte of the buffer zero on entry
};

// A deep copy of a DriverInfo3; nullopt stands for a null pointer.
struct RecordedDriver {
  std::uint32_t cVersion = 0;
  FakeText pName, pEnvironment, pDriverPath, pDataFile, pConfigFile, pHelpFile, pMonitorName,
      pDefaultDataType;
  // The list's bytes up to and including the zero that ends it (the second of
  // two zeros), read no further than 255 bytes.
  std::optional<std::vector<char>> dependentFiles;
  bool dependentFilesTerminated = false;
};

// A printer the spooler holds before the run, with texts of its own in every
// field, so a rewrite can be checked field by field.
struct StoredPrinter {
  std::string serverName, printerName, shareName = "Counter", portName = "LPT2:", driverName = "Old Driver",
      comment = "by the till", location = "shop floor", sepFile = "sep.sep", printProcessor = "WinPrint",
      datatype = "RAW", parameters = "-x";
  int securityToken = 0;  // its address stands for the security descriptor
  // The driver's DEVMODE, laid out after the strings as Windows does; its
  // first bytes hold this text.
  std::string devModeText = "DEVMODE of Old Driver";
  std::uint32_t attributes = 0x240, priority = 7, defaultPriority = 3, startTime = 60, untilTime = 1200,
                status = 0x80, cJobs = 2, averagePPM = 9;
  // The record as it lies alone, its texts in this object.
  PrinterRecord2 Record();
};

// What GetPrinterA level 2 fills: the record, then its strings and the
// DEVMODE, every pointer into the same buffer.
std::vector<std::byte> PrinterBuffer(StoredPrinter& printer);
inline constexpr std::size_t kFakeDevModeSize = 156;  // sizeof(DEVMODEA), no driver extra

// A deep copy of a PrinterRecord2 handed to AddPrinterA or SetPrinterA.
struct RecordedPrinter {
  FakeText pServerName, pPrinterName, pShareName, pPortName, pDriverName, pComment, pLocation, pSepFile,
      pPrintProcessor, pDatatype, pParameters;
  void* pDevMode = nullptr;
  FakeText devModeText;  // the text at the start of the DEVMODE handed over
  void* pSecurityDescriptor = nullptr;
  std::uint32_t Attributes = 0, Priority = 0, DefaultPriority = 0, StartTime = 0, UntilTime = 0, Status = 0,
                cJobs = 0, AveragePPM = 0;
};

struct PortDialogCall {
  WindowHandle owner = nullptr;
  std::string name;
};

class FakeSpooler : public Spooler {
 public:
  explicit FakeSpooler(EventLog* log = nullptr) : log_(log) {}

  FakePortEnumeration ports;
  FakeMonitorEnumeration monitors;

  // GetPrinterDriverDirectoryA: on success the text's bytes go into the buffer,
  // as many as fit, then a zero if room is left (a 255-byte text fills a
  // 255-byte buffer with no terminator). directoryError != 0 fails the call
  // without touching the buffer.
  std::string directoryText = "C:\\drv";
  std::uint32_t directoryError = 0;
  std::vector<DirectoryCall> directoryCalls;

  std::uint32_t addDriverError = 0;
  std::vector<RecordedDriver> drivers;

  // AddPrinterA: addPrinterError != 0 gives a null handle and that error.
  std::uint32_t addPrinterError = 0;
  std::vector<RecordedPrinter> printers;
  PrinterHandle PrinterHandleGiven() { return &handleToken_; }
  std::vector<PrinterHandle> closedPrinters;

  // As Windows' spooler does: AddPrinterA of this printer's name fails with
  // 1802, and the printer opens, reads and takes a rewrite. (Wine's rewrites
  // the printer inside AddPrinterA instead.)
  std::optional<StoredPrinter> existingPrinter;
  std::uint32_t openPrinterError = 0;
  std::uint32_t getPrinterError = 0;
  // GetPrinterA says it needs this many bytes, however many it is given.
  std::optional<std::uint32_t> getPrinterNeeded;
  std::uint32_t setPrinterError = 0;
  std::vector<std::string> openedPrinters;
  std::vector<RecordedPrinter> setPrinterRecords;

  // AddPortA / ConfigurePortA: 0 succeeds, anything else fails with that error.
  std::uint32_t addPortError = 0;
  std::uint32_t configurePortError = 0;
  std::vector<PortDialogCall> addPortCalls;
  std::vector<PortDialogCall> configurePortCalls;
  // Runs inside AddPort, e.g. to add an entry to `ports` as the monitor's dialog would.
  std::function<void(const std::string& monitorName)> onAddPort;

  EnumAnswer EnumPorts2(std::byte* buffer, std::uint32_t size) override;
  EnumAnswer EnumMonitors1(std::byte* buffer, std::uint32_t size) override;
  std::uint32_t AddPort(WindowHandle owner, const std::string& monitorName) override;
  std::uint32_t ConfigurePort(WindowHandle owner, const std::string& portName) override;
  std::uint32_t GetPrinterDriverDirectory(const std::string& environment, char* buffer,
                                          std::uint32_t size) override;
  std::uint32_t AddPrinterDriver3(const DriverInfo3& info) override;
  PrinterHandle AddPrinter2(const PrinterRecord2& info, std::uint32_t& error) override;
  void ClosePrinter(PrinterHandle handle) override;
  PrinterHandle OpenPrinter(const std::string& name, std::uint32_t& error) override;
  std::uint32_t GetPrinter2(PrinterHandle handle, std::byte* buffer, std::uint32_t size,
                            std::uint32_t& needed) override;
  std::uint32_t SetPrinter2(PrinterHandle handle, const PrinterRecord2& record) override;

 private:
  void Log(std::string event) { if (log_) log_->Add(std::move(event)); }
  EventLog* log_;
  int handleToken_ = 0;
};

// ---- Registry ----

struct RegistryOpen {
  RegistryRoot root{};
  std::string path;
  std::string access;  // always "KEY_SET_VALUE": the interface opens for nothing else
  bool opened = false;
  RegistryKey key = nullptr;
};

struct RegistrySet {
  RegistryKey key = nullptr;
  RegistryRoot root{};
  std::string path;
  std::string name;
  std::string text;
  bool succeeded = false;
};

class FakeRegistry : public Registry {
 public:
  explicit FakeRegistry(EventLog* log = nullptr) : log_(log) {}

  // Opening a key under this root fails with the given error.
  std::map<RegistryRoot, std::uint32_t> refusedRoots;
  // Setting a value of this name fails with the given error.
  std::map<std::string, std::uint32_t> failingValues;

  // The stored values, by (root, path, name); a successful set updates them.
  std::map<std::tuple<RegistryRoot, std::string, std::string>, std::string> values;
  std::optional<std::string> Value(RegistryRoot root, const std::string& path,
                                   const std::string& name) const;

  // REG_DWORD values, by (root, path, name); QueryDword reads them and a
  // successful SetDword updates them (its RegistrySet text is "dword <n>").
  std::map<std::tuple<RegistryRoot, std::string, std::string>, std::uint32_t> dwords;
  // Reading a value of this name fails with the given error (13: another type).
  std::map<std::string, std::uint32_t> unreadableValues;

  std::vector<RegistryOpen> opens;
  std::vector<RegistrySet> sets;
  std::vector<RegistryKey> closes;
  // Keys opened and not yet closed.
  std::set<RegistryKey> openKeys;

  std::uint32_t OpenForSetValue(RegistryRoot root, const std::string& path, RegistryKey& key) override;
  std::uint32_t SetString(RegistryKey key, const std::string& name, const std::string& text) override;
  std::uint32_t SetDword(RegistryKey key, const std::string& name, std::uint32_t value) override;
  std::uint32_t DeleteValue(RegistryKey key, const std::string& name) override;
  void Close(RegistryKey key) override;
  std::uint32_t QueryDword(RegistryRoot root, const std::string& path, const std::string& name,
                           std::uint32_t& value) override;

 private:
  std::uint32_t Set(RegistryKey key, const std::string& name, const std::string& text,
                    const std::optional<std::uint32_t>& dword);
  void Log(std::string event) { if (log_) log_->Add(std::move(event)); }
  EventLog* log_;
  // Key handles are indices into keySlots_ offset by one, so never null.
  std::vector<std::pair<RegistryRoot, std::string>> keySlots_;
};

const char* RootName(RegistryRoot root);  // "HKCU" / "HKLM" / "HKU"

// ---- Files ----

struct FileCopy {
  std::string source;
  std::string destination;
  std::uint32_t error = 0;
};

class FakeFileSystem : public FileSystem {
 public:
  explicit FakeFileSystem(EventLog* log = nullptr) : log_(log) {}

  // Copies of this source fail with the given error.
  std::map<std::string, std::uint32_t> failingSources;
  // The copy with this index (0 = first copy) fails with failingCopyError.
  std::optional<std::size_t> failingCopyIndex;
  std::uint32_t failingCopyError = kErrorAccessDenied;

  std::vector<FileCopy> copies;  // every attempt, failed ones included

  // Package files that are missing or unreadable, with the error the check gives.
  std::map<std::string, std::uint32_t> unreadable;
  std::vector<std::string> checked;
  std::string currentDirectory = "C:\\work";
  // As Windows names them; the current directory's name is currentDirectory's
  // unless given.
  std::u16string programFolder = u"C:\\work";
  std::optional<std::u16string> currentDirectoryName;
  // GetShortPathNameW's answers; a path not here has no 8.3 name.
  std::map<std::u16string, std::u16string> shortNames;
  // The system code page as Windows converts it: 1252 (taken as Latin-1, with
  // a best fit of L for U+0141) or 65001, which refuses flags and
  // lpUsedDefaultChar.
  unsigned codePage = 1252;
  // Drive letters (upper case) this process cannot see: mapped in another
  // logon session.
  std::set<char> unseenDrives;

  // Files with the read-only or hidden attribute. As on Windows, a copy onto
  // one fails with 5, and a copy takes its source's attributes.
  std::set<std::string> readOnly;
  std::set<std::string> hidden;

  std::uint32_t CopyReplacing(const std::string& source, const std::string& destination) override;
  std::uint32_t MakeReplaceable(const std::string& path) override;
  std::uint32_t CheckReadable(const std::string& path) override;
  std::string FullPath(const std::string& path) override;
  std::u16string ProgramFolderName() override { return programFolder; }
  std::u16string CurrentDirectoryName() override;
  std::u16string ShortPath(const std::u16string& path) override;
  std::optional<std::string> ToCodePage(const std::u16string& text, std::uint32_t flags, bool* usedDefault) override;
  std::optional<std::u16string> FromCodePage(const std::string& text) override;
  bool DriveLetterSeen(char letter) override { return unseenDrives.count(letter) == 0; }

 private:
  EventLog* log_;
};

// ---- System ----

// One scripted GetVersionExA answer. When ok, the fields of `info` are written
// into the caller's record, no further than the size the caller gave (a
// 148-byte request leaves the extended fields as they were); the size field is
// never written.
struct VersionAnswer {
  bool ok = true;
  OsVersionInfoEx info{};
};
VersionAnswer Version(std::uint32_t major, std::uint32_t minor, std::uint32_t platformId,
                      std::uint8_t productType = 0, std::uint32_t build = 0);
VersionAnswer VersionFailure();

class FakeSystem : public SystemServices {
 public:
  explicit FakeSystem(EventLog* log = nullptr) : log_(log) {}

  // Answers in call order; once used up, every further call fails.
  std::deque<VersionAnswer> versionAnswers;
  std::vector<std::uint32_t> versionRequestSizes;  // dwOSVersionInfoSize of each call

  int wow64Flag = 0;
  int wow64Queries = 0;

  // RtlGetVersion's answer; none: the function is missing.
  std::optional<OsVersionInfoEx> realVersion;
  // What Windows as a shop PC has: none of these answers is Wine's.
  std::optional<DesktopUser> shellUser;
  std::optional<DesktopUser> sessionUser;
  std::optional<std::uint16_t> nativeMachine;
  std::optional<bool> protectedPrint;

  std::vector<std::uint32_t> sleeps;  // recorded, never slept
  std::vector<std::string> debugLines;
  std::vector<std::string> settingChanges;  // sections broadcast

  bool QueryVersion(OsVersionInfoEx& record) override;
  int QueryWow64Flag() override;
  bool QueryRealVersion(OsVersionInfoEx& record) override;
  std::optional<DesktopUser> QueryShellUser() override { return shellUser; }
  std::optional<DesktopUser> QuerySessionUser() override { return sessionUser; }
  std::optional<std::uint16_t> QueryNativeMachine() override { return nativeMachine; }
  std::optional<bool> QueryProtectedPrintEnabled() override { return protectedPrint; }
  void Sleep(std::uint32_t milliseconds) override;
  void DebugOutput(const std::string& text) override;
  void BroadcastSettingChange(const std::string& section) override;

 private:
  void Log(std::string event) { if (log_) log_->Add(std::move(event)); }
  EventLog* log_;
};

// The Print Spooler service as a shop PC may have it: stopped or disabled,
// refusing a call, slow to run or stopping again at once; answered as the
// service control manager answers.
class FakeSpoolerService : public SpoolerService {
 public:
  explicit FakeSpoolerService(EventLog* log = nullptr) : log_(log) {}

  ServiceStartKind startKind = ServiceStartKind::Manual;
  std::uint32_t state = kServiceStopped;
  // A method named here ("QueryStartKind", "SetAutomatic", "SetDisabled",
  // "Start", "QueryStatus") fails with the error, named by the call given or
  // else by the method's own (ChangeServiceConfigW, StartServiceW, ...).
  std::map<std::string, ServiceCallResult> refusals;
  // What QueryStatus answers after each successful Start, in turn; the last
  // one again when they run out. Running at once when empty.
  std::vector<ServiceStatus> statusesAfterStart;
  // Runs as each method is entered, with its name: what another thread does
  // meanwhile.
  std::function<void(const std::string&)> meanwhile;

  ServiceCallResult QueryStartKind(ServiceStartKind& kind) override;
  ServiceCallResult SetAutomatic() override;
  ServiceCallResult SetDisabled() override;
  ServiceCallResult Start() override;
  ServiceCallResult QueryStatus(ServiceStatus& status) override;

 private:
  ServiceCallResult Call(const std::string& name, const char* call);
  ServiceCallResult Log(const std::string& name, ServiceCallResult result);
  EventLog* log_;
  std::size_t queriesAfterStart_ = 0;
  bool started_ = false;
};

// ---- Install callbacks ----

class FakeProgress : public InstallProgress {
 public:
  explicit FakeProgress(EventLog* log = nullptr) : log_(log) {}
  std::vector<int> positions;
  void SetPosition(int percent) override;

 private:
  EventLog* log_;
};

class FakeNotifier : public InstallNotifier {
 public:
  explicit FakeNotifier(EventLog* log = nullptr) : log_(log) {}
  int registryWriteFailures = 0;
  void RegistryWriteFailed() override;
  // The default-printer question: the answer given, and (printer, account)
  // of each time it was asked.
  bool stopManagedDefaultAnswer = true;
  std::vector<std::pair<std::string, std::string>> questions;
  bool AskToStopManagedDefault(std::string_view printerName, std::string_view accountName) override;

 private:
  EventLog* log_;
};

// All the fakes an installation touches, sharing one log.
struct InstallRig {
  EventLog log;
  FakeSpooler spooler{&log};
  FakeRegistry registry{&log};
  FakeFileSystem files{&log};
  FakeSystem system{&log};
  FakeProgress progress{&log};
  FakeNotifier notifier{&log};
  InstallServices services{spooler, registry, files, system, progress, notifier};

  InstallRig() = default;
  InstallRig(const InstallRig&) = delete;
  InstallRig& operator=(const InstallRig&) = delete;
};

}  // namespace oriel::testing
