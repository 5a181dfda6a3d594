// Whole installations, from the OS page to the last message, judged
// afterwards by what the spooler, the registry and the driver directory say
// on their own: the driver record, the printer record, the "Device" and port
// values, and the bytes of every copied file.
#include <algorithm>
#include <atomic>
#include <map>
#include <mutex>
#include <ostream>
#include <stdexcept>
#include <thread>
#include <utility>

#include "tests/e2e/oriel_fixture.h"
#include "tests/e2e/spooler_checks.h"

namespace e2e {
namespace {

// The catalogue rows the cases install.
struct Model {
  int row;
  const wchar_t* driverName;
  const wchar_t* dataFile;
  bool usesPlugin;
};
const Model kRow1{1, L"RK-T410(Cut) Series", L"RKT410cut.GPD", false};
const Model kRow3{3, L"RK-T420(Cut) Series", L"RKT420cut.GPD", false};
const Model kRow5{5, L"RK-T430E Series", L"RKT430E.GPD", true};
const Model kRow12{12, L"RK-KT440 Series", L"RKKT440.GPD", true};

const wchar_t* const kModuleFile = L"RKT4X.DLL";
const std::vector<std::wstring> kSharedFiles = {L"uniDRVui.DLL", L"uniDRV.DLL", L"UNIDRV.HLP", L"UNIRES.DLL",
                                                L"TTFSUB.GPD",   L"STDNAMES.GPD", L"RKUNI.ini", L"RKUNI.dll"};

// What the user picks on the way through the wizard.
struct Choices {
  Model model = kRow1;
  std::wstring port;  // the port page's row; empty keeps the preselected one
  bool setDefault = true;
  int lptCom = -1;  // index in the hidden LPT/COM list; -1 leaves "LPT1"
  std::vector<std::pair<int, int>> serial;  // (list id, index) in the hidden serial lists
};

// How a run ended: every message box in order (each answered with OK), then
// the exit status.
struct Ending {
  std::vector<std::wstring> messages;
  DWORD status = 0;
};

bool Contains(const std::wstring& text, const std::wstring& part) { return text.find(part) != std::wstring::npos; }

void SelectPort(HWND portPage, const std::wstring& port) {
  HWND list = Control(portPage, IDC_PORT_LIST);
  const std::vector<std::wstring> names = ListViewColumnTexts(list);
  const auto found = std::find(names.begin(), names.end(), port);
  if (found == names.end()) throw std::runtime_error("the port page lists no " + Utf8(port));
  const int row = static_cast<int>(found - names.begin());
  ListViewSelectRow(list, row);
  if (ListViewSelectedRows(list) != std::vector<int>{row}) {
    throw std::runtime_error("could not select the row of " + Utf8(port));
  }
}

// From the OS page to the port page, choosing on the way.
HWND ReachPortPage(const OrielProcess& app, const Choices& choices) {
  HWND osPage = WaitForWindow(app, kOsPageTitle);
  Click(Control(osPage, IDC_OS_NEXT));
  HWND settings = WaitForWindow(app, kSettingsPageTitle);
  SelectComboItem(settings, IDC_SET_MODEL, choices.model.row);
  if (!choices.setDefault) {
    HWND box = Control(settings, IDC_SET_DEFAULT);
    Click(box);
    if (!WaitUntil([&] { return CheckState(box) == BST_UNCHECKED; })) {
      throw std::runtime_error("clicking \"Set Default Printer\" did not clear it");
    }
  }
  if (choices.lptCom >= 0) SelectComboItem(settings, IDC_SET_PORT, choices.lptCom);
  for (const auto& [id, index] : choices.serial) SelectComboItem(settings, id, index);

  Click(Control(settings, IDC_SET_NEXT));
  HWND portPage = WaitForWindow(app, kPortPageTitle);
  if (!choices.port.empty()) SelectPort(portPage, choices.port);
  return portPage;
}

// Answers every message box with OK until the program ends.
Ending Finish(const OrielProcess& app) {
  Ending ending;
  for (;;) {
    HWND box = nullptr;
    const bool settled = WaitUntil(
        [&] {
          box = FindWindowOf(app.Id(), kMessageCaption, L"#32770");
          return box != nullptr || !app.Running();
        },
        kExitTimeoutMs);
    if (!settled) {
      throw std::runtime_error("neither a message nor the end of the program within " +
                               std::to_string(kExitTimeoutMs) + " ms; windows: " + DescribeWindows(app.Id()));
    }
    if (!box) {
      ending.status = app.WaitForExit();
      return ending;
    }
    box = WaitForMessageBox(app);
    ending.messages.push_back(MessageBoxText(box));
    if (ending.messages.size() > 4) throw std::runtime_error("more than four message boxes in one run");
    PressMessageBoxButton(box);
    WaitForWindowGone(box, L"message box");
  }
}

Ending InstallWith(const OrielProcess& app, const Choices& choices) {
  HWND portPage = ReachPortPage(app, choices);
  Click(Control(portPage, IDC_PORT_INSTALL));
  return Finish(app);
}

std::string Joined(const std::vector<std::wstring>& texts) {
  std::string joined;
  for (const std::wstring& text : texts) joined += (joined.empty() ? "\"" : ", \"") + Utf8(text) + "\"";
  return joined.empty() ? "none" : joined;
}

// The ten files every installation copies, by the names the installer uses.
std::vector<std::wstring> CopiedFiles(const Model& model) {
  std::vector<std::wstring> files = {kModuleFile, model.dataFile};
  files.insert(files.end(), kSharedFiles.begin(), kSharedFiles.end());
  return files;
}

std::vector<std::wstring> ExpectedDependentFiles(const Model& model) {
  std::vector<std::wstring> files = {L"ttfsub.GPD", L"unires.DLL", L"stdnames.GPD"};
  if (model.usesPlugin) files.insert(files.end(), {L"RKUNI.ini", L"RKUNI.dll"});
  files.push_back(kModuleFile);
  return files;
}

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
  return text.size() >= prefix.size() && SameName(text.substr(0, prefix.size()), prefix);
}

// The package file a record name stands for: the record spells some names
// in another letter case than the copied files ("ttfsub.GPD", "TTFSUB.GPD").
std::wstring PackageName(const std::wstring& name) {
  for (const std::wstring& file : TestPackages::FileNames()) {
    if (SameName(file, name)) return file;
  }
  throw std::runtime_error("no package file is named " + Utf8(name));
}

// A copy holds the package file's bytes. Windows' AddPrinterDriver copies
// like APD_COPY_NEW_FILES and keeps a newer file already there, which Wine
// replaces. https://learn.microsoft.com/en-us/windows/win32/printdocs/addprinterdriver
std::optional<ULONGLONG> FileVersion(const std::wstring& path) {
  DWORD ignored = 0;
  std::vector<BYTE> block(GetFileVersionInfoSizeW(path.c_str(), &ignored));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT size = 0;
  if (block.empty() || !GetFileVersionInfoW(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) ||
      !VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &size) || !fixed) {
    return std::nullopt;
  }
  return (ULONGLONG{fixed->dwFileVersionMS} << 32) | fixed->dwFileVersionLS;
}

bool HoldsPackageFile(const std::wstring& path, const std::string& bytes, const std::wstring& folder,
                      const std::wstring& name) {
  if (bytes == TestPackages::Contents(folder, name)) return true;
  const std::wstring source = TestPackages::MachineFile(folder, name);
  if (UnderWine() || source.empty() || !UnchangedSinceTheCaseBegan(path)) return false;
  const std::optional<ULONGLONG> kept = FileVersion(path), offered = FileVersion(source);
  return !kept || !offered || *kept >= *offered;
}

// A file of the driver record: named as expected, inside the driver
// directory, and holding the bytes of that package file.
void ExpectDriverFile(const std::wstring& recorded, const std::wstring& expectedName, const std::wstring& directory,
                      const std::wstring& folder, const char* field) {
  SCOPED_TRACE(std::string(field) + " " + Utf8(recorded));
  EXPECT_TRUE(SameName(FileNamePart(recorded), expectedName)) << "expected a file named " << Utf8(expectedName);
  const std::wstring& path = recorded;
  EXPECT_TRUE(StartsWithIgnoringCase(path, directory + L"\\")) << "not inside " << Utf8(directory);
  std::string bytes;
  ASSERT_TRUE(ReadWholeFile(path, &bytes)) << "cannot read " << Utf8(path);
  const std::wstring source = PackageName(expectedName);
  EXPECT_TRUE(HoldsPackageFile(path, bytes, folder, source))
      << Utf8(path) << " does not hold the bytes of " << Utf8(folder) << "\\" << Utf8(source) << " ("
      << bytes.size() << " bytes)";
}

// The driver as the spooler keeps it, in the run's environment and from its package.
void ExpectDriver(const Model& model) {
  const std::wstring& environment = CurrentTarget().environment;
  const std::wstring& folder = CurrentTarget().packageFolder;
  const std::vector<DriverRecord> drivers = SpoolerDriversNamed(environment, model.driverName);
  ASSERT_EQ(drivers.size(), 1u) << "drivers named " << Utf8(model.driverName) << " in " << Utf8(environment);
  const DriverRecord& driver = drivers.front();
  const std::wstring directory = DriverDirectory(environment);
  EXPECT_TRUE(SameName(driver.environment, environment)) << Utf8(driver.environment);
  EXPECT_EQ(driver.defaultDataType, L"RAW");
  EXPECT_EQ(driver.monitorName, L"");
  ExpectDriverFile(driver.driverPath, L"uniDRV.DLL", directory, folder, "driver");
  ExpectDriverFile(driver.configFile, L"uniDRVui.DLL", directory, folder, "config file");
  ExpectDriverFile(driver.dataFile, model.dataFile, directory, folder, "data file");
  ExpectDriverFile(driver.helpFile, L"UNIDRV.HLP", directory, folder, "help file");

  const std::vector<std::wstring> expected = ExpectedDependentFiles(model);
  ASSERT_EQ(driver.dependentFiles.size(), expected.size()) << "dependent files: " << Joined(driver.dependentFiles);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    ExpectDriverFile(driver.dependentFiles[i], expected[i], directory, folder, "dependent file");
  }

  // Every copy, wherever the spooler left it, is the package's file.
  for (const std::wstring& name : CopiedFiles(model)) {
    bool found = false;
    for (const std::wstring& path : {directory + L"\\" + name, directory + L"\\3\\" + name}) {
      std::string bytes;
      if (!ReadWholeFile(path, &bytes)) continue;
      found = true;
      EXPECT_TRUE(HoldsPackageFile(path, bytes, folder, name))
          << Utf8(path) << " differs from " << Utf8(folder) << "\\" << Utf8(name);
    }
    EXPECT_TRUE(found) << Utf8(name) << " is neither in " << Utf8(directory) << " nor in its 3 folder";
  }
}

void ExpectPrinter(const Model& model, const std::wstring& port) {
  const std::wstring& environment = CurrentTarget().environment;
  ASSERT_EQ(SpoolerPrintersNamed(model.driverName).size(), 1u) << "printers named " << Utf8(model.driverName);
  const std::optional<PrinterRecord> printer = SpoolerPrinter(model.driverName);
  ASSERT_TRUE(printer) << "the printer " << Utf8(model.driverName) << " does not open";
  EXPECT_EQ(printer->port, port);
  EXPECT_EQ(printer->driver, model.driverName);
  EXPECT_TRUE(SameName(printer->printProcessor, L"WinPrint")) << Utf8(printer->printProcessor);
  EXPECT_EQ(printer->dataType, L"RAW");
  const std::optional<DriverRecord> driver = DriverOfPrinter(model.driverName, environment);
  ASSERT_TRUE(driver) << "GetPrinterDriverW level 3 gave nothing for the printer";
  EXPECT_EQ(driver->name, model.driverName);
  EXPECT_TRUE(SameName(FileNamePart(driver->dataFile), model.dataFile)) << Utf8(driver->dataFile);
}

// None of the model's files reached the driver directory (or its 3 folder).
void ExpectNothingCopied(const Model& model) {
  const std::wstring directory = DriverDirectory(CurrentTarget().environment);
  for (const std::wstring& name : CopiedFiles(model)) {
    for (const std::wstring& path : {directory + L"\\" + name, directory + L"\\3\\" + name}) {
      EXPECT_FALSE(FileExists(path) && !UnchangedSinceTheCaseBegan(path)) << Utf8(path) << " was copied";
    }
  }
}

void ExpectNothingRegistered(const Model& model) {
  for (const std::wstring& environment : {kEnvironmentX86, kEnvironmentX64}) {
    EXPECT_TRUE(SpoolerDriversNamed(environment, model.driverName).empty())
        << "a driver " << Utf8(model.driverName) << " is registered in " << Utf8(environment);
  }
  EXPECT_TRUE(SpoolerPrintersNamed(model.driverName).empty()) << "a printer " << Utf8(model.driverName) << " exists";
}

using RegistryValues = std::map<std::wstring, std::wstring>;

// Every Windows has the key of "Device"; a fresh Wine prefix has not, and
// the installer leaves the value alone when the key does not open.
void MakeWindowsKey() { CreateRegistryKey(HKEY_CURRENT_USER, kWindowsKey); }

RegistryValues PortValues() { return RegistryTexts(HKEY_LOCAL_MACHINE, kPortsKey); }
const std::wstring kLegacyModeValue = L"LegacyDefaultPrinterMode";
std::optional<std::wstring> DeviceValue() { return ReadRegistryText(HKEY_CURRENT_USER, kWindowsKey, kDeviceValue); }

// A run that stopped before its first write: no copy, no spooler record, no
// "Device", no port value.
// What a run may not change when it stops early: a Windows host has a
// default printer of its own, a fresh prefix none.
struct Untouched {
  RegistryValues ports = PortValues();
  std::optional<std::wstring> device = DeviceValue();
};

void ExpectNothingInstalled(const Model& model, const Untouched& before) {
  ExpectNothingCopied(model);
  ExpectNothingRegistered(model);
  EXPECT_EQ(DeviceValue(), before.device) << Utf8(DeviceValue().value_or(L""));
  EXPECT_EQ(PortValues(), before.ports);
}

// ---- Installations of the exe's own architecture ----

struct InstallCase {
  const char* name;
  Choices choices;
  std::wstring expectedPort;         // the printer's port
  std::wstring serialValueName;      // empty: no port value changes
  std::wstring serialValue;
  std::wstring windowsVersion = kDefaultWindowsVersion;  // what Wine reports to Oriel
};

void PrintTo(const InstallCase& c, std::ostream* os) { *os << c.name; }

// What every installation case starts from. Under WOW64 only the cases whose
// outcome Wine can produce there run (CMakeLists.txt names them).
class InstallRun : public OrielTest {
protected:
  void SetUp() override { MakeWindowsKey(); }
};

// One fixture for the plain and the table-driven cases, so that all of them
// run as the suite "Install".
class Install : public InstallRun, public ::testing::WithParamInterface<InstallCase> {
protected:

  // A package without some of its files: one message names the folder and
  // each of them, and nothing is copied or registered.
  void InstallWithout(const Model& model, const std::vector<std::wstring>& missing,
                      const std::wstring& windowsVersion = kDefaultWindowsVersion) {
    if (windowsVersion != kDefaultWindowsVersion) ORIEL_SKIP_UNLESS_SHOWN(windowsVersion);
    const Untouched before;
    const std::wstring& folder = CurrentTarget().packageFolder;
    TestPackages::Options options;
    for (const std::wstring& name : missing) options.omit.push_back({folder, name});
    Launch(windowsVersion, options);
    const Ending ending = InstallWith(App(), Choices{model, L"COM2:", true, 3});
    ASSERT_EQ(ending.messages.size(), 1u) << "messages: " << Joined(ending.messages);
    const std::wstring& message = ending.messages[0];
    EXPECT_TRUE(Contains(message, L"\"" + Packages().Root() + L"\\" + folder + L"\"")) << Utf8(message);
    for (const std::wstring& name : missing) EXPECT_TRUE(Contains(message, L"\n    " + name + L": ")) << Utf8(message);
    EXPECT_TRUE(Contains(message, L"Nothing was installed")) << Utf8(message);
    EXPECT_EQ(ending.status, kStatusInstallFailed);
    ExpectNothingInstalled(model, before);
  }
};

TEST_P(Install, RegistersDriverPrinterAndValues) {
  const InstallCase& c = GetParam();
  if (c.windowsVersion != kDefaultWindowsVersion) ORIEL_SKIP_UNLESS_SHOWN(c.windowsVersion);
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  const RegistryValues portsBefore = PortValues();
  Launch(c.windowsVersion);
  const Ending ending = InstallWith(App(), c.choices);
  EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
  EXPECT_EQ(ending.status, kStatusInstalled);

  ExpectDriver(c.choices.model);
  ExpectPrinter(c.choices.model, c.expectedPort);
  EXPECT_EQ(DeviceValue().value_or(L"(none)"), std::wstring(c.choices.model.driverName) + L",winspool," + c.expectedPort);

  RegistryValues expectedPorts = portsBefore;
  if (!c.serialValueName.empty()) expectedPorts[c.serialValueName] = c.serialValue;
  EXPECT_EQ(PortValues(), expectedPorts);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Install,
    ::testing::Values(
        // The port list's preselection is LPT1:; each case picks another row.
        InstallCase{"NonPluginRowOnCom2", Choices{kRow1, L"COM2:"}, L"COM2:", L"", L""},
        InstallCase{"PluginRowSerialDefaultsToCom1", Choices{kRow5, L"COM3:", true, 3}, L"COM3:", L"COM1:",
                    L"19200,N,8,1,p"},
        // Baud, data bits, stop bits, parity and flow all moved; flow None is a blank.
        InstallCase{"ChangedSerialSettingsToCom4",
                    Choices{kRow12, L"FILE:", true, 6,
                            {{IDC_SET_BAUD, 8}, {IDC_SET_DATABITS, 2}, {IDC_SET_STOPBITS, 2}, {IDC_SET_PARITY, 1},
                             {IDC_SET_FLOW, 0}}},
                    L"FILE:", L"COM4:", L"115200,M,7,2, "},
        // COM1, the default's own port, takes the chosen settings too.
        InstallCase{"ChangedSerialSettingsToCom1",
                    Choices{kRow5, L"COM2:", true, 3,
                            {{IDC_SET_BAUD, 4}, {IDC_SET_DATABITS, 1}, {IDC_SET_STOPBITS, 1}, {IDC_SET_PARITY, 3},
                             {IDC_SET_FLOW, 1}}},
                    L"COM2:", L"COM1:", L"9600,O,6,1.5,x"},
        // XP SP3 and POSReady 2009, the oldest systems the exe starts on.
        InstallCase{"PluginRowOnWindowsXp", Choices{kRow5, L"COM3:", true, 3}, L"COM3:", L"COM1:", L"19200,N,8,1,p",
                    L"winxp"}),
    [](const ::testing::TestParamInfo<InstallCase>& param) { return std::string(param.param.name); });

// A disk that fills up during the copies: scripts/e2e_case_setup.sh mounts a
// 16 KiB tmpfs over the driver directory for this case (it needs root), and
// the third file is 64 KiB. The installation stops at that copy.
TEST_F(Install, FullDiskStopsAtTheCopyThatFails) {
  const std::wstring setup = GetEnv(L"ORIEL_CASE_SETUP");
  if (setup.rfind(L"mounted ", 0) != 0) {
    GTEST_SKIP() << (WindowsHost()  ? "needs a small full disk (a tmpfs over the driver directory), which only the Linux harness mounts"
                     : setup.empty() ? "no small disk: scripts/e2e_case_setup.sh did not run for this case"
                                     : Utf8(setup));
  }
  const std::wstring& folder = CurrentTarget().packageFolder;
  const std::wstring large = L"uniDRVui.DLL";
  TestPackages::Options options;
  options.grow.push_back({{folder, large}, 64 * 1024});
  Launch(kDefaultWindowsVersion, options);
  const Ending ending = InstallWith(App(), Choices{kRow1, L"COM2:"});

  const std::wstring directory = DriverDirectory(CurrentTarget().environment);
  ASSERT_EQ(ending.messages.size(), 1u) << "messages: " << Joined(ending.messages);
  const std::wstring& message = ending.messages[0];
  EXPECT_TRUE(Contains(message, L"Copying \"" + folder + L"\\" + large + L"\" to \"" + directory + L"\\" + large +
                                    L"\" failed.")) << Utf8(message);
  EXPECT_TRUE(Contains(message, L"System error 112: ")) << Utf8(message);
  EXPECT_TRUE(Contains(message, L"The disk is full: free some space on the system drive, then run Oriel again.")) << Utf8(message);
  EXPECT_EQ(ending.status, kStatusInstallFailed);

  // The two copies before it are there; none after it was tried.
  const std::vector<std::wstring> files = CopiedFiles(kRow1);
  const auto failed = std::find(files.begin(), files.end(), large) - files.begin();
  ASSERT_EQ(failed, 2);
  for (std::ptrdiff_t i = 0; i < static_cast<std::ptrdiff_t>(files.size()); ++i) {
    if (i == failed) continue;
    EXPECT_EQ(FileExists(directory + L"\\" + files[i]), i < failed) << Utf8(files[i]);
  }
  ExpectNothingRegistered(kRow1);
  EXPECT_FALSE(DeviceValue()) << Utf8(DeviceValue().value_or(L""));
}

// A copy that waits (scripts/e2e_case_setup.sh makes the destination of
// uniDRV.DLL a FIFO nobody reads until this case says so): meanwhile the
// page answers at once, shows the milestone before that copy, and neither
// its close box nor Escape ends it; released, the installation completes.
TEST_F(Install, HeldCopyLeavesThePageAnsweringAndOpen) {
  const std::wstring setup = GetEnv(L"ORIEL_CASE_SETUP");
  if (setup.rfind(L"held ", 0) != 0) {
    GTEST_SKIP() << (WindowsHost()  ? "needs a copy held up by a FIFO, which only the Linux harness makes"
                     : setup.empty() ? "no held copy: scripts/e2e_case_setup.sh did not run for this case"
                                     : Utf8(setup));
  }
  const std::wstring hold = setup.substr(5);
  const std::wstring& folder = CurrentTarget().packageFolder;
  const std::wstring held = L"uniDRV.DLL";
  TestPackages::Options options;
  options.grow.push_back({{folder, held}, 1024 * 1024});  // more than a FIFO's buffer
  Launch(kDefaultWindowsVersion, options);
  HWND portPage = ReachPortPage(App(), Choices{kRow1, L"COM2:"});
  Click(Control(portPage, IDC_PORT_INSTALL));
  const bool waiting = WaitUntil([&] { return FileExists(hold + L"\\copying"); }, kExitTimeoutMs);

  DWORD_PTR position = 0;
  EXPECT_TRUE(waiting) << "the copy of " << Utf8(held) << " never began";
  EXPECT_TRUE(SendMessageTimeoutW(Control(portPage, IDC_PORT_PROGRESS), PBM_GETPOS, 0, 0, SMTO_NORMAL, 1000, &position))
      << "the page did not answer within 1 s while the copy waited";
  EXPECT_EQ(position, 30u);
  PressCloseBox(portPage);
  PressEscape(portPage);
  DWORD_PTR ignored = 0;
  EXPECT_TRUE(SendMessageTimeoutW(portPage, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &ignored));
  // EndDialog hides the page at once, though it ends only when Install returns.
  EXPECT_TRUE(IsWindowVisible(portPage) && App().Running()) << "the close box or Escape ended the page";
  Screenshot(L"install-held-copy", portPage);

  if (!CopyFileW(Packages().PathOf(folder, held).c_str(), (hold + L"\\content").c_str(), FALSE)) {
    ADD_FAILURE() << "cannot stage the held copy's bytes: " << LastErrorText();
  }
  CloseHandle(CreateFileW((hold + L"\\release").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  const Ending ending = Finish(App());
  EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
  EXPECT_EQ(ending.status, kStatusInstalled);
}

// The box as the page opens, model untouched: the printer gets that name.
TEST_F(Install, PrinterNameBoxNamesThePrinterCreated) {
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  Launch();
  HWND settings = OpenSettingsPage();
  const std::wstring shown = Text(Control(settings, IDC_SET_NAME));
  HWND portPage = OpenPortPage(settings);
  SelectPort(portPage, L"COM2:");
  Click(Control(portPage, IDC_PORT_INSTALL));
  const Ending ending = Finish(App());
  EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
  EXPECT_EQ(SpoolerPrintersNamed(shown).size(), 1u) << "no printer named \"" << Utf8(shown) << "\" as the box said";
  ExpectPrinter(kRow1, L"COM2:");
}

TEST_F(Install, ClearedDefaultPrinterLeavesDeviceAlone) {
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  const std::wstring elsewhere = L"Elsewhere,winspool,LPT3:";
  WriteRegistryText(HKEY_CURRENT_USER, kWindowsKey, kDeviceValue, elsewhere);
  Launch();
  Choices choices{kRow5, L"LPT2:"};
  choices.setDefault = false;
  const Ending ending = InstallWith(App(), choices);
  EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
  EXPECT_EQ(ending.status, kStatusInstalled);
  ExpectPrinter(kRow5, L"LPT2:");
  EXPECT_EQ(DeviceValue().value_or(L"(none)"), elsewhere);
}

// The key is opened, never made: the printer is installed, but it is not
// the default, and the user is told so instead of "Completed!".
TEST_F(Install, MissingWindowsKeyIsToldAndNotCompleted) {
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  if (WindowsHost() && !UnderWine() && HostVersion().first >= 10) {
    GTEST_SKIP() << "built on Windows 7: on Windows 10 and later a missing key means Windows manages the default "
                    "printer, and Oriel asks about that first";
  }
  DeleteRegistryKey(HKEY_CURRENT_USER, kWindowsKey);
  Launch();
  const Ending ending = InstallWith(App(), Choices{kRow1, L"COM4:"});
  ASSERT_EQ(ending.messages.size(), 2u) << "messages: " << Joined(ending.messages);
  EXPECT_EQ(ending.messages[0], L"错误：无法设置有关的注册表信息");
  EXPECT_TRUE(Contains(ending.messages[1], L"was installed, but not all of its settings were written")) << Utf8(ending.messages[1]);
  EXPECT_TRUE(Contains(ending.messages[1], L"RegOpenKeyExA failed for \"Device\" in HKEY_CURRENT_USER\\" + kWindowsKey))
      << Utf8(ending.messages[1]);
  EXPECT_EQ(ending.status, kStatusInstalledWithoutSettings);
  ExpectPrinter(kRow1, L"COM4:");
  EXPECT_FALSE(DeviceValue()) << "the installer made the key; it only opens it";
}

// Windows 10 and later make the printer used last the default while
// LegacyDefaultPrinterMode is absent or 0; Wine's win10 reports 10.0 through
// RtlGetVersion. The question comes before anything is written.
struct ManagedDefaultCase {
  const char* name;
  std::optional<DWORD> modeBefore;
  bool asked;
  int answer;  // IDYES or IDNO when asked
  bool deviceWritten;
  // A compatibility mode makes RtlGetVersion say 6.1; the registry still
  // says 10 (a default prefix says 6).
  const wchar_t* windowsVersion = L"win10";
  std::optional<DWORD> currentMajorVersion;
};

void PrintTo(const ManagedDefaultCase& c, std::ostream* os) { *os << c.name; }

class ManagedDefault : public InstallRun, public ::testing::WithParamInterface<ManagedDefaultCase> {};

TEST_P(ManagedDefault, AskedOnceBeforeAnythingIsWritten) {
  const ManagedDefaultCase& c = GetParam();
  ORIEL_SKIP_UNLESS_SHOWN(c.windowsVersion);
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  const std::wstring before = L"Office,winspool,LPT3:";
  WriteRegistryText(HKEY_CURRENT_USER, kWindowsKey, kDeviceValue, before);
  if (c.modeBefore) {
    WriteRegistryDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyModeValue, *c.modeBefore);
  } else {
    DeleteRegistryValue(HKEY_CURRENT_USER, kWindowsKey, kLegacyModeValue);
  }
  if (c.currentMajorVersion) {
    WriteRegistryDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                       L"CurrentMajorVersionNumber", *c.currentMajorVersion, KEY_WOW64_64KEY);
  }
  Launch(c.windowsVersion);
  HWND portPage = ReachPortPage(App(), Choices{kRow1, L"COM2:"});
  Click(Control(portPage, IDC_PORT_INSTALL));
  if (c.asked) {
    HWND box = WaitForMessageBox(App());
    const std::wstring question = MessageBoxText(box);
    EXPECT_TRUE(Contains(question, L"\"RK-T410(Cut) Series\"")) << Utf8(question);
    EXPECT_TRUE(Contains(question, L"printer used last")) << Utf8(question);
    EXPECT_TRUE(HasControl(box, IDYES) && HasControl(box, IDNO)) << "a Yes/No question: " << Utf8(question);
    ExpectNothingRegistered(kRow1);
    EXPECT_EQ(DeviceValue().value_or(L"(none)"), before) << "written before the answer";
    PressMessageBoxButton(box, c.answer);
    WaitForWindowGone(box, L"question");
  }
  const Ending ending = Finish(App());
  EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
  EXPECT_EQ(ending.status, kStatusInstalled);
  ExpectPrinter(kRow1, L"COM2:");
  EXPECT_EQ(DeviceValue().value_or(L"(none)"), c.deviceWritten ? L"RK-T410(Cut) Series,winspool,COM2:" : before);
  const std::optional<DWORD> mode = ReadRegistryDword(HKEY_CURRENT_USER, kWindowsKey, kLegacyModeValue);
  if (c.deviceWritten) {
    EXPECT_EQ(mode.value_or(99), 1u);
  } else {
    EXPECT_EQ(mode, c.modeBefore);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Install, ManagedDefault,
    ::testing::Values(ManagedDefaultCase{"ModeAbsentYes", std::nullopt, true, IDYES, true},
                      ManagedDefaultCase{"ModeZeroNo", DWORD{0}, true, IDNO, false},
                      ManagedDefaultCase{"ModeOneNotAsked", DWORD{1}, false, 0, true},
                      ManagedDefaultCase{"Win7ModeOnWindows10Yes", std::nullopt, true, IDYES, true, L"win7", DWORD{10}}),
    [](const ::testing::TestParamInfo<ManagedDefaultCase>& param) { return std::string(param.param.name); });

// The last run moves the printer to another port. Wine's spooler rewrites
// the printer inside AddPrinterA, where Windows' answers 1802 and Oriel
// rewrites it (unit-tested); here the case guards the outcome.
TEST_F(Install, SameModelThreeTimesKeepsOneOfEach) {
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  Launch();
  Ending first = InstallWith(App(), Choices{kRow5, L"COM2:"});
  EXPECT_EQ(first.messages, std::vector<std::wstring>{L"Completed!"}) << "first run: " << Joined(first.messages);
  EXPECT_EQ(first.status, kStatusInstalled);

  for (const std::wstring port : {L"COM2:", L"COM3:"}) {
    SCOPED_TRACE("again on " + Utf8(port));
    OrielProcess again;
    again.Start(OrielExePath(), Packages().Root());
    const Ending ending = InstallWith(again, Choices{kRow5, port});
    EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
    EXPECT_EQ(ending.status, kStatusInstalled);
  }
  ExpectDriver(kRow5);
  ExpectPrinter(kRow5, L"COM3:");
  EXPECT_EQ(DeviceValue().value_or(L"(none)"), L"RK-T430E Series,winspool,COM3:");
}

// A shortcut whose "Start in" names another folder: the package beside
// Oriel.exe is the one installed, also from a folder whose name the code page
// cannot spell (by its short name, which Wine makes up as Windows does on a
// volume that keeps them).
TEST_F(Install, PackageBesideTheExeWhenStartedInAnotherFolder) {
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  TestPackages packages;
  const std::wstring elsewhere = packages.Root() + L"\\elsewhere";
  ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr)) << LastErrorText();
  const std::wstring unspelled = packages.Root() + L"\\\x0141ask";  // "Łask"
  ASSERT_TRUE(CreateDirectoryW(unspelled.c_str(), nullptr)) << LastErrorText();
  for (const std::wstring& folder : TestPackages::Folders()) {
    ASSERT_TRUE(CreateDirectoryW((unspelled + L"\\" + folder).c_str(), nullptr)) << LastErrorText();
    for (const std::wstring& name : TestPackages::FileNames()) {
      const std::wstring copy = unspelled + L"\\" + folder + L"\\" + name;
      ASSERT_TRUE(CopyFileW(packages.PathOf(folder, name).c_str(), copy.c_str(), TRUE)) << LastErrorText();
    }
  }
  for (const std::wstring& exeFolder : {packages.Root(), unspelled}) {
    SCOPED_TRACE(Utf8(exeFolder));
    const std::wstring exe = exeFolder + L"\\Oriel.exe";
    ASSERT_TRUE(CopyFileW(OrielExePath().c_str(), exe.c_str(), TRUE)) << LastErrorText();
    OrielProcess oriel;
    oriel.Start(exe, elsewhere);
    const Ending ending = InstallWith(oriel, Choices{kRow1, L"COM2:"});
    EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
    EXPECT_EQ(ending.status, kStatusInstalled);
    ExpectDriver(kRow1);
    ExpectPrinter(kRow1, L"COM2:");
  }
}

// A winspool.drv planted beside Oriel.exe, as a download folder may hold one,
// which a load by bare name would pick up first; it exports nothing, and
// marks that it was loaded. The installation goes through on the system's own.
TEST_F(Install, WinspoolBesideTheExeIsNotLoaded) {
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  // Wine takes its own winspool over a native one unless told otherwise;
  // Windows' loader would take the one the search finds first.
  WriteRegistryText(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Oriel.exe\\DllOverrides", L"winspool.drv",
                    L"native,builtin");
  TestPackages packages;
  const std::wstring built = OrielExePath();
  const std::wstring planted = built.substr(0, built.find_last_of(L"\\/")) + L"\\planted\\winspool.drv";
  const std::wstring beside = packages.Root() + L"\\winspool.drv";
  const std::wstring exe = packages.Root() + L"\\Oriel.exe";
  ASSERT_TRUE(CopyFileW(planted.c_str(), beside.c_str(), TRUE)) << Utf8(planted) << ": " << LastErrorText();
  ASSERT_TRUE(CopyFileW(built.c_str(), exe.c_str(), TRUE)) << LastErrorText();
  OrielProcess oriel;
  oriel.Start(exe, packages.Root());
  const Ending ending = InstallWith(oriel, Choices{kRow1, L"COM2:"});
  EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
  EXPECT_EQ(ending.status, kStatusInstalled);
  EXPECT_EQ(GetFileAttributesW((beside + L".loaded").c_str()), INVALID_FILE_ATTRIBUTES)
      << "the winspool.drv beside Oriel.exe was loaded";
  ExpectDriver(kRow1);
}

// CopyFile hands a read-only package's attribute to its copies, and Windows
// will not replace a read-only file: the copies must come out writable, and
// a second installation from the same package must go through.
TEST_F(Install, ReadOnlyPackageInstallsTwice) {
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  Launch();
  const std::wstring& folder = CurrentTarget().packageFolder;
  const auto setReadOnly = [&](bool readOnly) {
    for (const std::wstring& name : TestPackages::FileNames()) {
      SetFileAttributesW(Packages().PathOf(folder, name).c_str(),
                         readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    }
  };
  setReadOnly(true);
  const Ending first = InstallWith(App(), Choices{kRow1, L"COM2:"});
  EXPECT_EQ(first.messages, std::vector<std::wstring>{L"Completed!"}) << "first run: " << Joined(first.messages);

  const std::wstring directory = DriverDirectory(CurrentTarget().environment);
  for (const std::wstring& name : CopiedFiles(kRow1)) {
    for (const std::wstring& path : {directory + L"\\" + name, directory + L"\\3\\" + name}) {
      const DWORD attributes = GetFileAttributesW(path.c_str());
      if (attributes == INVALID_FILE_ATTRIBUTES) continue;
      EXPECT_EQ(attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN), 0u) << Utf8(path);
    }
  }

  OrielProcess again;
  again.Start(OrielExePath(), Packages().Root());
  const Ending second = InstallWith(again, Choices{kRow1, L"COM2:"});
  EXPECT_EQ(second.messages, std::vector<std::wstring>{L"Completed!"}) << "second run: " << Joined(second.messages);
  EXPECT_EQ(second.status, kStatusInstalled);
  setReadOnly(false);
  ExpectDriver(kRow1);
}

TEST_F(Install, MissingModelFileStopsBeforeRegistering) { InstallWithout(kRow3, {L"RKT420cut.GPD"}); }

// The plug-in pair goes along for every model, so its absence stops also a
// model that does not list it.
TEST_F(Install, MissingPluginFileStopsAlsoNonPluginRow) { InstallWithout(kRow1, {L"RKUNI.dll"}); }

// Files that come late in the copy order: the ones before them stay in the
// package, and both missing ones are named in the one message.
TEST_F(Install, MissingFilesAreAllNamedBeforeAnythingIsCopied) {
  InstallWithout(kRow5, {L"UNIDRV.HLP", L"RKUNI.ini"});
}

// Windows 10 asks about the default printer only of a package that passed
// its check: the one message is the package's.
TEST_F(Install, MissingFileOnWindows10IsToldWithoutTheQuestion) { InstallWithout(kRow1, {L"RKUNI.dll"}, L"win10"); }

// Protected print mode admits Windows' own drivers only, and came with build
// 26100 (Windows 11 24H2); a policy made with its templates reaches older
// Windows too. Wine reports 18362 as Windows 10 and has no class to ask for
// the mode's state: the policy value, 0 or 1, changes nothing there. (Build
// 26100's refusal is the unit tier's.)
class ProtectedPrintPolicy : public InstallRun, public ::testing::WithParamInterface<DWORD> {};

TEST_P(ProtectedPrintPolicy, ChangesNothingBeforeTheModeExists) {
  ORIEL_SKIP_UNLESS_SHOWN(L"win10");
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  WriteRegistryDword(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP",
                     L"WindowsProtectedPrintGroupPolicyState", GetParam(), KEY_WOW64_64KEY);
  const Untouched before;
  Launch(L"win10");
  const Ending ending = InstallWith(App(), Choices{kRow5, L"COM2:", false, 3});
  // From build 26100 on, the value 1 turns the mode on.
  // https://learn.microsoft.com/en-us/windows-hardware/drivers/print/windows-protected-print-mode
  if (!UnderWine() && HostBuild() >= 26100 && GetParam() == 1) {
    ASSERT_EQ(ending.messages.size(), 1u) << "messages: " << Joined(ending.messages);
    EXPECT_TRUE(Contains(ending.messages[0], L"Windows protected print mode is on")) << Utf8(ending.messages[0]);
    EXPECT_EQ(ending.status, kStatusInstallFailed);
    ExpectNothingInstalled(kRow5, before);
    return;
  }
  EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
  EXPECT_EQ(ending.status, kStatusInstalled);
  ExpectPrinter(kRow5, L"COM2:");
}

INSTANTIATE_TEST_SUITE_P(Install, ProtectedPrintPolicy, ::testing::Values(DWORD{0}, DWORD{1}),
                         [](const ::testing::TestParamInfo<DWORD>& param) {
                           return "Value" + std::to_string(param.param);
                         });

// An ARM64 PC runs the x86 Oriel emulated, and neither package can run
// there: Install stops before anything is written. Only ARM64 Windows shows it.
// https://learn.microsoft.com/en-us/windows/win32/api/wow64apiset/nf-wow64apiset-iswow64process2
TEST_F(Install, Arm64IsRefusedBeforeAnythingIsWritten) {
  using IsWow64Process2Fn = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
  const auto query = reinterpret_cast<IsWow64Process2Fn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsWow64Process2")));
  USHORT process = 0, native = 0;
  if (!query || !query(GetCurrentProcess(), &process, &native) || native != IMAGE_FILE_MACHINE_ARM64) {
    GTEST_SKIP() << "needs ARM64 Windows";
  }
  const Untouched before;
  Launch();
  const Ending ending = InstallWith(App(), Choices{kRow1, L"COM2:"});
  ASSERT_EQ(ending.messages.size(), 1u) << "messages: " << Joined(ending.messages);
  EXPECT_TRUE(Contains(ending.messages[0], L"This PC's processor is ARM64.")) << Utf8(ending.messages[0]);
  EXPECT_EQ(ending.status, kStatusInstallFailed);
  ExpectNothingInstalled(kRow1, before);
}

// Install with no port row selected asks for one and does nothing else; the
// user then picks a port and installs.
TEST_F(Install, WithoutSelectedPortAsksForOne) {
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  const Untouched before;
  Launch();
  HWND settings = OpenSettingsPage();
  HWND portPage = OpenPortPage(settings);
  HWND list = Control(portPage, IDC_PORT_LIST);
  ListViewClearSelection(list);
  ASSERT_TRUE(ListViewSelectedRows(list).empty());
  Click(Control(portPage, IDC_PORT_INSTALL));
  HWND box = WaitForMessageBox(App());
  Screenshot(L"install-without-port", box);
  EXPECT_EQ(MessageBoxText(box),
            L"Choose the port the printer is connected to, or create one with \"Create Port...\", then press Install.");
  PressMessageBoxButton(box);
  WaitForWindowGone(box, L"message box");

  ASSERT_TRUE(IsWindowVisible(portPage)) << "the port page closed";
  EXPECT_EQ(SendWithTimeout(Control(portPage, IDC_PORT_PROGRESS), PBM_GETPOS), 0) << "an installation ran";
  ExpectNothingCopied(kRow1);
  ExpectNothingRegistered(kRow1);
  EXPECT_EQ(DeviceValue(), before.device) << Utf8(DeviceValue().value_or(L""));

  SelectPort(portPage, L"COM2:");
  Click(Control(portPage, IDC_PORT_INSTALL));
  const Ending ending = Finish(App());
  EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
  EXPECT_EQ(ending.status, kStatusInstalled);
  ExpectPrinter(kRow1, L"COM2:");
}

// A top-level window of the test's own, on a thread that pumps messages:
// what it receives as WM_SETTINGCHANGE, by section name.
class SettingChangeListener {
public:
  SettingChangeListener() {
    thread_ = std::thread([this] { Run(); });
    if (!WaitUntil([this] { return ready_.load() != nullptr; })) throw std::runtime_error("no listener window");
  }
  ~SettingChangeListener() {
    PostMessageW(ready_.load(), WM_CLOSE, 0, 0);
    thread_.join();
  }
  std::vector<std::wstring> Sections() {
    std::lock_guard<std::mutex> lock(mutex_);
    return sections_;
  }

private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<SettingChangeListener*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == WM_SETTINGCHANGE && self != nullptr) {
      std::lock_guard<std::mutex> lock(self->mutex_);
      self->sections_.push_back(lParam != 0 ? reinterpret_cast<const wchar_t*>(lParam) : L"(null)");
      return 0;
    }
    if (message == WM_DESTROY) PostQuitMessage(0);
    return DefWindowProcW(hwnd, message, wParam, lParam);
  }
  void Run() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"OrielSettingChangeListener";
    RegisterClassW(&windowClass);
    HWND hwnd = CreateWindowExW(0, windowClass.lpszClassName, L"listener", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
    if (hwnd == nullptr) return;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ready_ = hwnd;
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  }

  std::thread thread_;
  std::atomic<HWND> ready_{nullptr};
  std::mutex mutex_;
  std::vector<std::wstring> sections_;
};

// Running programs learn of the new default printer, as from Windows' own change.
TEST_F(Install, NewDefaultPrinterIsAnnouncedToRunningPrograms) {
  ORIEL_SKIP_UNLESS_INSTALLABLE();
  SettingChangeListener listener;
  Launch();
  const Ending ending = InstallWith(App(), Choices{kRow1, L"COM2:"});
  EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
  EXPECT_EQ(DeviceValue().value_or(L"(none)"), L"RK-T410(Cut) Series,winspool,COM2:");
  const std::vector<std::wstring> sections = listener.Sections();
  EXPECT_EQ(std::count(sections.begin(), sections.end(), L"windows"), 1) << "received: " << Joined(sections);
}

// Windows 98 (OS kind 2) gets no completion message; the installation is the same.
TEST_F(Install, Win98InstallsWithoutCompletedMessage) {
  ORIEL_SKIP_UNLESS_SHOWN(L"win98");
  // Wine, reporting Windows 98 to the program, looks the new printer's driver
  // up in the "Windows 4.0" environment, as a 98 spooler would. A driver of
  // the same name there lets the printer step succeed, so the case sees the
  // end of a successful run.
  RegisterTestDriver(L"Windows 4.0", kRow1.driverName);
  Launch(L"win98");
  const Ending ending = InstallWith(App(), Choices{kRow1, L"COM2:"});
  EXPECT_TRUE(ending.messages.empty()) << "messages: " << Joined(ending.messages);
  EXPECT_EQ(ending.status, kStatusInstalled);
  ExpectDriver(kRow1);
  ExpectPrinter(kRow1, L"COM2:");
}

// ---- The shipped exe under WOW64 ----

class Install64 : public OrielTest {
protected:
  void SetUp() override {
    if (!CurrentTarget().wow64) GTEST_SKIP() << "runs for the shipped exe under WOW64 only";
    MakeWindowsKey();
  }
};

// An elevated batch file starts Oriel in System32, where the file-system
// redirector gives a 32-bit process SysWOW64: the package is looked for
// there and beside Oriel.exe, and the message names the folders it really
// looked in.
TEST_F(Install64, StartedInSystem32NamesSysWow64AndTheExeFolder) {
  TestPackages::Options options;
  options.omit.push_back({L"x64", L"RKUNI.dll"});
  TestPackages packages(options);
  const std::wstring exe = packages.Root() + L"\\Oriel.exe";
  ASSERT_TRUE(CopyFileW(OrielExePath().c_str(), exe.c_str(), TRUE)) << LastErrorText();
  wchar_t system[MAX_PATH];
  wchar_t wow64[MAX_PATH];
  ASSERT_NE(GetSystemDirectoryW(system, MAX_PATH), 0u);
  ASSERT_NE(GetSystemWow64DirectoryW(wow64, MAX_PATH), 0u);
  OrielProcess oriel;
  oriel.Start(exe, system);
  const Ending ending = InstallWith(oriel, Choices{kRow5, L"COM2:"});
  ASSERT_EQ(ending.messages.size(), 1u) << "messages: " << Joined(ending.messages);
  const auto lower = [](std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
  };
  const std::wstring message = lower(ending.messages[0]);
  EXPECT_TRUE(Contains(message, lower(L"\"" + std::wstring(wow64) + L"\\x64\", the folder oriel was started in")))
      << Utf8(ending.messages[0]);
  EXPECT_TRUE(Contains(message, lower(L"beside oriel.exe, in \"" + packages.Root() + L"\\x64\""))) << Utf8(ending.messages[0]);
  EXPECT_TRUE(Contains(ending.messages[0], L"\n    RKUNI.dll: ")) << Utf8(ending.messages[0]);
  EXPECT_EQ(ending.status, kStatusInstallFailed);
}

TEST_F(Install64, RegistersX64PackageUnderWow64) {
  if (const std::string why = TestPackages::NoRealDriver(); !why.empty()) GTEST_SKIP() << why;
  BOOL wow64 = FALSE;
  ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  ASSERT_TRUE(wow64) << "a 32-bit process in the win64 prefix should run under WOW64";
  Launch();
  const Ending ending = InstallWith(App(), Choices{kRow5, L"COM2:"});

  ExpectDriver(kRow5);
  EXPECT_TRUE(SpoolerDriversNamed(kEnvironmentX86, kRow5.driverName).empty())
      << "the x86 environment got the driver as well";

  // Windows' spooler finds the x64 driver for a 32-bit caller.
  // https://learn.microsoft.com/en-us/windows/win32/printdocs/addprinter
  if (!UnderWine()) {
    EXPECT_EQ(ending.messages, std::vector<std::wstring>{L"Completed!"}) << "messages: " << Joined(ending.messages);
    EXPECT_EQ(ending.status, kStatusInstalled);
    ExpectPrinter(kRow5, L"COM2:");
    return;
  }
  // Wine looks the new printer's driver up in the caller's own environment,
  // so a 32-bit caller cannot create a printer on an x64 driver there
  // (Windows' spooler can). The program must say so rather than claim success.
  EXPECT_TRUE(SpoolerPrintersNamed(kRow5.driverName).empty())
      << "this Wine created the printer on the x64 driver: expect \"Completed!\" and status 0 here instead";
  ASSERT_EQ(ending.messages.size(), 1u) << "messages: " << Joined(ending.messages);
  EXPECT_TRUE(Contains(ending.messages[0], L"AddPrinterA")) << Utf8(ending.messages[0]);
  EXPECT_TRUE(Contains(ending.messages[0], kRow5.driverName)) << Utf8(ending.messages[0]);
  EXPECT_EQ(ending.status, kStatusInstallFailed);
  EXPECT_FALSE(DeviceValue()) << "\"Device\" names a printer that does not exist";
}

}  // namespace
}  // namespace e2e
