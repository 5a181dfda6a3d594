#include "install/installer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "install/default_printer.h"
#include "pages/logic/install_messages.h"
#include "pages/logic/spooler_messages.h"
#include "pages/logic/spooler_start.h"
#include "platform/enumeration.h"
#include "tests/support/fakes.h"

namespace oriel {
namespace {

using testing::InstallRig;
using testing::RecordedDriver;
using Events = std::vector<std::string>;

constexpr std::uint32_t kRpcUnavailable = 1722;
const std::string kHkcuWindows = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";
const std::string kHklmPorts = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
const std::string kVersionQuery = "query HKLM\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion CurrentMajorVersionNumber";
const std::string kModeQuery = "query HKCU\\" + kHkcuWindows + " LegacyDefaultPrinterMode";

OsVersionInfoEx Windows(std::uint32_t major, std::uint32_t minor = 0) {
  return testing::Version(major, minor, 2).info;
}

InstallInputs Inputs(int row = 1, std::string port = "LPT1:") {
  InstallInputs inputs;
  inputs.modelRow = row;
  inputs.chosenPort = std::move(port);
  return inputs;
}

InstallOutcome Install(InstallRig& rig, const InstallInputs& inputs, const InstallVariant& variant = kVariant32) {
  std::string chosen;
  return InstallPrinter(variant, inputs, chosen, rig.services);
}

std::vector<int> AllMilestones() { return {10, 20, 30, 40, 50, 60, 70, 80, 90, 95, 100}; }

// Whether Windows has protected print mode, then the package check, one event per source
// file in copy order, then whether Windows manages the default printer.
// A package's files in copy order (row 1's data file by default).
std::vector<std::string> PackageFiles(const std::string& gpd = "RKT410cut.GPD") {
  return {"RKT4X.DLL", gpd, "uniDRVui.DLL", "uniDRV.DLL", "UNIDRV.HLP",
          "UNIRES.DLL", "TTFSUB.GPD", "STDNAMES.GPD", "RKUNI.ini", "RKUNI.dll"};
}

Events Checks(const std::string& folder, const std::string& gpd) {
  Events events{"RtlGetVersion", kVersionQuery};
  for (const std::string& name : PackageFiles(gpd)) events.push_back("check " + folder + "\\" + name);
  events.push_back("RtlGetVersion");
  events.push_back(kVersionQuery);
  return events;
}

Events Then(Events first, const Events& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

// ---- The whole run, in order ----

TEST(InstallSequence, Row1OnLpt1With32BitPackage) {
  InstallRig rig;
  const InstallOutcome outcome = Install(rig, Inputs(1, "LPT1:"));
  EXPECT_TRUE(outcome.completed);
  EXPECT_EQ(outcome.step, InstallStep::None);
  const Events expected = Then(Checks("win2k", "RKT410cut.GPD"), {
      "GetPrinterDriverDirectory Windows NT x86 255",
      "copy win2k\\RKT4X.DLL -> C:\\drv\\RKT4X.DLL",
      "progress 10",
      "copy win2k\\RKT410cut.GPD -> C:\\drv\\RKT410cut.GPD",
      "progress 20",
      "copy win2k\\uniDRVui.DLL -> C:\\drv\\uniDRVui.DLL",
      "progress 30",
      "copy win2k\\uniDRV.DLL -> C:\\drv\\uniDRV.DLL",
      "copy win2k\\UNIDRV.HLP -> C:\\drv\\UNIDRV.HLP",
      "progress 40",
      "copy win2k\\UNIRES.DLL -> C:\\drv\\UNIRES.DLL",
      "copy win2k\\TTFSUB.GPD -> C:\\drv\\TTFSUB.GPD",
      "progress 50",
      "copy win2k\\STDNAMES.GPD -> C:\\drv\\STDNAMES.GPD",
      "copy win2k\\RKUNI.ini -> C:\\drv\\RKUNI.ini",
      "copy win2k\\RKUNI.dll -> C:\\drv\\RKUNI.dll",
      "progress 60",
      "AddPrinterDriver3 \"RK-T410(Cut) Series\" \"Windows NT x86\"",
      "progress 70",
      "AddPrinter2 \"RK-T410(Cut) Series\" \"LPT1:\"",
      "progress 80",
      "open HKCU\\" + kHkcuWindows,
      "set Device = \"RK-T410(Cut) Series,winspool,LPT1:\"",
      "close key",
      "broadcast WM_SETTINGCHANGE windows",
      "progress 90",
      "progress 95",
      "ClosePrinter",
      "sleep 500",
      "progress 100",
  });
  EXPECT_EQ(rig.log.events, expected);
  EXPECT_TRUE(rig.spooler.directoryCalls.at(0).bufferWasZeroed);
  EXPECT_EQ(rig.spooler.closedPrinters, std::vector<PrinterHandle>{rig.spooler.PrinterHandleGiven()});
}

// Row 10 gets the plug-in pair copied although its driver does not list it;
// the COM entry adds the serial value between 90 and 95.
TEST(InstallSequence, Row10OnCom4With64BitPackage) {
  InstallRig rig;
  rig.spooler.directoryText = "C:\\windows\\system32\\spool\\drivers\\x64";
  InstallInputs inputs = Inputs(10, "COM4:");
  inputs.portIndex = 6;
  ASSERT_TRUE(Install(rig, inputs, kVariant64).completed);
  const std::string d = "C:\\windows\\system32\\spool\\drivers\\x64\\";
  const Events expected = Then(Checks("x64", "RKKT410.GPD"), {
      "GetPrinterDriverDirectory Windows x64 255",
      "copy x64\\RKT4X.DLL -> " + d + "RKT4X.DLL",
      "progress 10",
      "copy x64\\RKKT410.GPD -> " + d + "RKKT410.GPD",
      "progress 20",
      "copy x64\\uniDRVui.DLL -> " + d + "uniDRVui.DLL",
      "progress 30",
      "copy x64\\uniDRV.DLL -> " + d + "uniDRV.DLL",
      "copy x64\\UNIDRV.HLP -> " + d + "UNIDRV.HLP",
      "progress 40",
      "copy x64\\UNIRES.DLL -> " + d + "UNIRES.DLL",
      "copy x64\\TTFSUB.GPD -> " + d + "TTFSUB.GPD",
      "progress 50",
      "copy x64\\STDNAMES.GPD -> " + d + "STDNAMES.GPD",
      "copy x64\\RKUNI.ini -> " + d + "RKUNI.ini",
      "copy x64\\RKUNI.dll -> " + d + "RKUNI.dll",
      "progress 60",
      "AddPrinterDriver3 \"RK-KT410 Series\" \"Windows x64\"",
      "progress 70",
      "AddPrinter2 \"RK-KT410 Series\" \"COM4:\"",
      "progress 80",
      "open HKCU\\" + kHkcuWindows,
      "set Device = \"RK-KT410 Series,winspool,COM4:\"",
      "close key",
      "broadcast WM_SETTINGCHANGE windows",
      "progress 90",
      "open HKLM\\" + kHklmPorts,
      "set COM4: = \"19200,N,8,1,p\"",
      "close key",
      "progress 95",
      "ClosePrinter",
      "sleep 500",
      "progress 100",
  });
  EXPECT_EQ(rig.log.events, expected);
  for (const auto& open : rig.registry.opens) EXPECT_EQ(open.access, "KEY_SET_VALUE");
  EXPECT_TRUE(rig.registry.openKeys.empty());
}

// ---- The driver record ----

std::vector<char> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

using namespace std::string_view_literals;
const auto kBaseList = Bytes("\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0RKT4X.DLL\0\0"sv);
const auto kPluginList =
    Bytes("\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0\\RKUNI.ini\0\\RKUNI.dll\0RKT4X.DLL\0\0"sv);

struct DriverCase {
  const InstallVariant* variant;
  int row;
  const char* dataFile;
  const char* name;
  const std::vector<char>* dependentFiles;
};

class DriverRecord : public ::testing::TestWithParam<DriverCase> {};

TEST_P(DriverRecord, EveryFieldAndEveryListByte) {
  const DriverCase& c = GetParam();
  InstallRig rig;
  ASSERT_TRUE(Install(rig, Inputs(c.row), *c.variant).completed);
  ASSERT_EQ(rig.spooler.drivers.size(), 1u);
  const RecordedDriver& d = rig.spooler.drivers[0];
  EXPECT_EQ(d.cVersion, 2u);
  EXPECT_EQ(d.pName, c.name);
  EXPECT_EQ(d.pEnvironment, std::string(c.variant->environment));
  EXPECT_EQ(d.pDriverPath, "\\uniDRV.DLL");
  EXPECT_EQ(d.pDataFile, c.dataFile);
  EXPECT_EQ(d.pConfigFile, "\\uniDRVui.DLL");
  EXPECT_EQ(d.pHelpFile, "\\uniDRV.HLP");
  EXPECT_EQ(d.pMonitorName, "");  // empty, not null
  EXPECT_EQ(d.pDefaultDataType, "RAW");
  ASSERT_TRUE(d.dependentFiles.has_value());
  EXPECT_TRUE(d.dependentFilesTerminated);
  EXPECT_EQ(*d.dependentFiles, *c.dependentFiles);

  ASSERT_EQ(rig.spooler.printers.size(), 1u);
  const auto& p = rig.spooler.printers[0];
  EXPECT_EQ(p.pPrinterName, c.name);
  EXPECT_EQ(p.pPortName, "LPT1:");
  EXPECT_EQ(p.pDriverName, c.name);
  EXPECT_EQ(p.pPrintProcessor, "WinPrint");
  EXPECT_EQ(p.pDatatype, "RAW");
}

INSTANTIATE_TEST_SUITE_P(
    BothVariants, DriverRecord,
    ::testing::Values(DriverCase{&kVariant32, 1, "\\RKT410cut.GPD", "RK-T410(Cut) Series", &kBaseList},
                      DriverCase{&kVariant64, 1, "\\RKT410cut.GPD", "RK-T410(Cut) Series", &kBaseList},
                      DriverCase{&kVariant32, 5, "\\RKT430E.GPD", "RK-T430E Series", &kPluginList},
                      DriverCase{&kVariant64, 5, "\\RKT430E.GPD", "RK-T430E Series", &kPluginList},
                      DriverCase{&kVariant32, 10, "\\RKKT410.GPD", "RK-KT410 Series", &kBaseList},
                      DriverCase{&kVariant64, 10, "\\RKKT410.GPD", "RK-KT410 Series", &kBaseList},
                      DriverCase{&kVariant32, 14, "\\RKWT440.GPD", "RK-WT440 Series", &kPluginList}));

TEST(DriverRecordVariants, DifferOnlyInEnvironmentAndDirectory) {
  InstallRig a, b;
  b.spooler.directoryText = "D:\\x64drv";
  ASSERT_TRUE(Install(a, Inputs(7), kVariant32).completed);
  ASSERT_TRUE(Install(b, Inputs(7), kVariant64).completed);
  RecordedDriver da = a.spooler.drivers.at(0), db = b.spooler.drivers.at(0);
  EXPECT_EQ(da.pEnvironment, "Windows NT x86");
  EXPECT_EQ(db.pEnvironment, "Windows x64");
  EXPECT_EQ(da.pName, db.pName);
  EXPECT_EQ(da.pDataFile, db.pDataFile);
  EXPECT_EQ(da.dependentFiles, db.dependentFiles);
  ASSERT_EQ(a.files.copies.size(), 10u);
  ASSERT_EQ(b.files.copies.size(), 10u);
  for (std::size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(a.files.copies[i].destination.substr(6), b.files.copies[i].destination.substr(9)) << i;
  }
}

// ---- Ports and registry values ----

TEST(ChosenPort, StoredInContextFirstAndEmptyPassedOnAsEmpty) {
  InstallRig rig;
  std::string chosen = "stale";
  rig.spooler.directoryError = kRpcUnavailable;  // stops right after storing
  InstallPrinter(kVariant32, Inputs(1, "FILE:"), chosen, rig.services);
  EXPECT_EQ(chosen, "FILE:");

  InstallRig empty;
  ASSERT_TRUE(InstallPrinter(kVariant32, Inputs(1, ""), chosen, empty.services).completed);
  EXPECT_EQ(chosen, "");
  EXPECT_EQ(empty.spooler.printers.at(0).pPortName, "");
  EXPECT_EQ(empty.registry.Value(RegistryRoot::CurrentUser, kHkcuWindows, "Device"),
            "RK-T410(Cut) Series,winspool,");
  EXPECT_EQ(empty.progress.positions, AllMilestones());
}

TEST(DefaultPrinter, ClearedBoxLeavesDeviceAlone) {
  InstallRig rig;
  rig.registry.values[{RegistryRoot::CurrentUser, kHkcuWindows, "Device"}] = "Other,winspool,LPT2:";
  InstallInputs inputs = Inputs(3);
  inputs.setDefaultPrinter = false;
  ASSERT_TRUE(Install(rig, inputs).completed);
  EXPECT_TRUE(rig.registry.opens.empty());
  EXPECT_EQ(rig.registry.Value(RegistryRoot::CurrentUser, kHkcuWindows, "Device"), "Other,winspool,LPT2:");
  EXPECT_EQ(rig.progress.positions, AllMilestones());
}

// Windows 10 and later switch the default to the printer used last unless
// LegacyDefaultPrinterMode is 1; GetVersionExA says 6.2 there, RtlGetVersion 10.
TEST(DefaultPrinter, WindowsManagesItFrom10WhileTheModeIsAbsentOrZero) {
  const struct {
    std::uint32_t major;
    std::optional<std::uint32_t> mode;
    bool unreadable;
    bool managed;
  } cases[] = {
      {10, std::nullopt, false, true}, {10, 0, false, true},  {10, 1, false, false},
      {10, 2, false, false},           {10, 0, true, true},   {6, std::nullopt, false, false},
      {0, std::nullopt, false, false},  // RtlGetVersion missing
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.major << " mode " << c.mode.value_or(99) << " " << c.unreadable);
    InstallRig rig;
    if (c.major != 0) rig.system.realVersion = Windows(c.major, c.major == 6 ? 2 : 0);
    if (c.mode) rig.registry.dwords[{RegistryRoot::CurrentUser, kHkcuWindows, "LegacyDefaultPrinterMode"}] = *c.mode;
    if (c.unreadable) rig.registry.unreadableValues["LegacyDefaultPrinterMode"] = 13;
    EXPECT_EQ(WindowsManagesDefaultPrinter(rig.system, rig.registry, {}), c.managed);
    EXPECT_TRUE(rig.registry.sets.empty());
  }
  EXPECT_EQ(DefaultPrinterQuestion("RK-T410(Cut) Series"),
            "Windows manages the default printer on this computer and makes the printer used last the default, "
            "so \"RK-T410(Cut) Series\" would not stay the default printer.\n\nSetting \"RK-T410(Cut) Series\" "
            "as the default printer means Windows will stop managing your default printer. Set it as the default "
            "printer?");
}

// A compatibility mode for Windows 7 on Oriel.exe makes RtlGetVersion say
// 6.1 as well; CurrentMajorVersionNumber still says 10.
TEST(DefaultPrinter, Windows10UnderACompatibilityModeIsStillWindows10) {
  const std::tuple<RegistryRoot, std::string, std::string> kCurrentMajor{RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                                  "CurrentMajorVersionNumber"};
  for (const std::uint32_t major : {10u, 6u}) {
    SCOPED_TRACE(major);
    InstallRig rig;
    rig.system.realVersion = Windows(6, 1);
    rig.registry.dwords[kCurrentMajor] = major;
    ASSERT_TRUE(Install(rig, Inputs()).completed);
    EXPECT_EQ(rig.notifier.questions.size(), major == 10 ? 1u : 0u);
  }
}

// A technician's credentials elevated Oriel: HKEY_CURRENT_USER is the
// technician's, and the default belongs in the cashier's profile, found by
// the shell's user or, with no shell window, the session's.
TEST(DefaultPrinter, GoesToTheDesktopUsersProfile) {
  const DesktopUser cashier{"S-1-5-21-7-1001", "SHOP\\cashier", false};
  const std::string cashierWindows = "S-1-5-21-7-1001\\" + kHkcuWindows;
  const struct {
    const char* name;
    std::optional<DesktopUser> shell, session;
    std::uint32_t openError;  // 0: the profile is loaded and takes the write
    RegistryRoot root;
  } cases[] = {
      {"shell", cashier, std::nullopt, 0, RegistryRoot::Users},
      {"kiosk shell", std::nullopt, cashier, 0, RegistryRoot::Users},
      {"hive not loaded", cashier, std::nullopt, testing::kErrorFileNotFound, RegistryRoot::CurrentUser},
      {"loaded, refusing the write", cashier, std::nullopt, testing::kErrorAccessDenied, RegistryRoot::CurrentUser},
      {"same account", DesktopUser{"S-1-5-21-7-500", "SHOP\\tech", true}, std::nullopt, 0,
       RegistryRoot::CurrentUser},
      // A domain account with no domain controller in reach has no name.
      {"name not found", DesktopUser{"S-1-5-21-7-1001", "", false}, std::nullopt, 0, RegistryRoot::Users},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InstallRig rig;
    rig.system.realVersion = Windows(10);
    rig.system.shellUser = c.shell;
    rig.system.sessionUser = c.session;
    if (c.openError != 0) rig.registry.refusedRoots[RegistryRoot::Users] = c.openError;
    ASSERT_TRUE(Install(rig, Inputs()).completed);
    const std::string path = c.root == RegistryRoot::Users ? cashierWindows : kHkcuWindows;
    EXPECT_EQ(rig.registry.Value(c.root, path, "Device"), "RK-T410(Cut) Series,winspool,LPT1:");
    EXPECT_EQ(rig.registry.dwords.count({c.root, path, "LegacyDefaultPrinterMode"}), 1u);
    ASSERT_EQ(rig.notifier.questions.size(), 1u);
    const std::string account = c.root == RegistryRoot::CurrentUser ? ""
                                : c.shell && c.shell->name.empty()
                                    ? "the account signed in at this PC (S-1-5-21-7-1001)"
                                    : "SHOP\\cashier";
    EXPECT_EQ(rig.notifier.questions[0].second, account);
  }
  // The profile took the open, then refused "Device": the key is named as it is.
  InstallRig refused;
  refused.system.realVersion = Windows(10);
  refused.system.shellUser = cashier;
  refused.registry.failingValues["Device"] = testing::kErrorAccessDenied;
  EXPECT_NE(SettingsNotWrittenMessage(Install(refused, Inputs()), [](std::uint32_t) { return std::string(); })
                .find("RegSetValueExA failed for \"Device\" in HKEY_USERS\\" + cashierWindows + ". "),
            std::string::npos);
  EXPECT_EQ(DefaultPrinterQuestion("RK-T410(Cut) Series", "SHOP\\cashier"),
            "Windows manages the default printer of SHOP\\cashier on this computer and makes the printer used last "
            "the default, so \"RK-T410(Cut) Series\" would not stay the default printer.\n\nSetting "
            "\"RK-T410(Cut) Series\" as the default printer of SHOP\\cashier means Windows will stop managing that "
            "account's default printer. Set it as the default printer of SHOP\\cashier?");
}

TEST(DefaultPrinter, ModeOneGoesInBeforeDeviceAndAFailedModeKeepsDeviceOut) {
  InstallRig rig;
  rig.system.realVersion = Windows(10);
  const InstallInputs inputs = Inputs();
  ASSERT_TRUE(Install(rig, inputs).completed);
  const Events& e = rig.log.events;
  const auto mode = std::find(e.begin(), e.end(), "set LegacyDefaultPrinterMode = dword 1");
  ASSERT_NE(mode, e.end());
  EXPECT_EQ(*(mode - 1), "open HKCU\\" + kHkcuWindows);
  EXPECT_EQ(*(mode + 1), "set Device = \"RK-T410(Cut) Series,winspool,LPT1:\"");
  EXPECT_EQ(*(mode + 2), "close key");
  EXPECT_EQ(rig.system.settingChanges, (std::vector<std::string>{"windows"}));

  InstallRig refused;
  refused.system.realVersion = Windows(10);
  refused.registry.values[{RegistryRoot::CurrentUser, kHkcuWindows, "Device"}] = "Other,winspool,LPT2:";
  refused.registry.failingValues["LegacyDefaultPrinterMode"] = testing::kErrorAccessDenied;
  const InstallOutcome outcome = Install(refused, inputs);
  ASSERT_TRUE(outcome.completed);
  EXPECT_NE(SettingsNotWrittenMessage(outcome, [](std::uint32_t) { return std::string(); })
                .find("\n    It is not the default printer, and Windows still manages the default printer: "
                      "RegSetValueExA failed for \"LegacyDefaultPrinterMode\" in HKEY_CURRENT_USER\\" + kHkcuWindows),
            std::string::npos);
  EXPECT_EQ(refused.notifier.registryWriteFailures, 1);
  ASSERT_EQ(refused.registry.sets.size(), 1u);
  EXPECT_EQ(refused.registry.Value(RegistryRoot::CurrentUser, kHkcuWindows, "Device"), "Other,winspool,LPT2:");
  EXPECT_TRUE(refused.registry.openKeys.empty());
  EXPECT_TRUE(refused.system.settingChanges.empty());
  EXPECT_EQ(refused.progress.positions, AllMilestones());

  InstallRig no;
  no.system.realVersion = Windows(10);
  no.notifier.stopManagedDefaultAnswer = false;
  ASSERT_TRUE(Install(no, inputs).completed);
  EXPECT_TRUE(no.registry.opens.empty());
}

// Without "Device" the mode alone would stop Windows' management and set no
// default: it goes back to what it was, absent or 0.
TEST(DefaultPrinter, AFailedDeviceWritePutsTheModeBack) {
  for (const std::optional<std::uint32_t> before : {std::optional<std::uint32_t>{}, std::optional<std::uint32_t>{0}}) {
    SCOPED_TRACE(before.has_value());
    InstallRig rig;
    rig.system.realVersion = Windows(10);
    if (before) rig.registry.dwords[{RegistryRoot::CurrentUser, kHkcuWindows, "LegacyDefaultPrinterMode"}] = *before;
    rig.registry.failingValues["Device"] = testing::kErrorAccessDenied;
    ASSERT_TRUE(Install(rig, Inputs()).completed);
    EXPECT_EQ(rig.notifier.registryWriteFailures, 1);
    const auto mode = rig.registry.dwords.find({RegistryRoot::CurrentUser, kHkcuWindows, "LegacyDefaultPrinterMode"});
    if (before) {
      ASSERT_NE(mode, rig.registry.dwords.end());
      EXPECT_EQ(mode->second, 0u);
    } else {
      EXPECT_EQ(mode, rig.registry.dwords.end());
    }
    EXPECT_TRUE(rig.registry.openKeys.empty());
    EXPECT_TRUE(rig.system.settingChanges.empty());
  }
}

TEST(SerialValue, ComEntriesOnlyWithTheirValueNames) {
  for (int portIndex = 0; portIndex < kPortEntryCount; ++portIndex) {
    SCOPED_TRACE(portIndex);
    InstallRig rig;
    InstallInputs inputs = Inputs();
    inputs.portIndex = portIndex;
    inputs.setDefaultPrinter = false;
    ASSERT_TRUE(Install(rig, inputs).completed);
    if (portIndex < 3) {
      EXPECT_TRUE(rig.registry.opens.empty());
      continue;
    }
    ASSERT_EQ(rig.registry.sets.size(), 1u);
    EXPECT_EQ(rig.registry.sets[0].root, RegistryRoot::LocalMachine);
    EXPECT_EQ(rig.registry.sets[0].path, kHklmPorts);
    EXPECT_EQ(rig.registry.sets[0].name, "COM" + std::to_string(portIndex - 2) + ":");
    EXPECT_EQ(rig.registry.sets[0].text, "19200,N,8,1,p");
  }
}

TEST(SerialValue, FieldOrderAndBlankForNoFlowControl) {
  SerialSelection serial;
  serial.baud = 8;      // 115200
  serial.parity = 1;    // Mark
  serial.dataBits = 2;  // 7
  serial.stopBits = 1;  // 1.5
  serial.flow = 0;      // None
  EXPECT_EQ(SerialValueText(serial), "115200,M,7,1.5, ");
  serial.parity = 0;
  serial.flow = 1;
  EXPECT_EQ(SerialValueText(serial), "115200,E,7,1.5,x");
  EXPECT_EQ(SerialValueText(SerialSelection{}), "19200,N,8,1,p");

  InstallRig rig;
  InstallInputs inputs = Inputs();
  inputs.portIndex = 3;
  inputs.serial = {0, 0, 2, 4, 0};  // 300, 5 bits, 2 stop, Space, None
  ASSERT_TRUE(Install(rig, inputs).completed);
  EXPECT_EQ(rig.registry.Value(RegistryRoot::LocalMachine, kHklmPorts, "COM1:"), "300,S,5,2, ");
}

TEST(RegistryFailures, FailedSetIsReportedOnceEachAndTheRunGoesOn) {
  InstallRig rig;
  rig.registry.failingValues["Device"] = testing::kErrorAccessDenied;
  rig.registry.failingValues["COM2:"] = testing::kErrorAccessDenied;
  InstallInputs inputs = Inputs();
  inputs.portIndex = 4;
  const InstallOutcome outcome = Install(rig, inputs);
  EXPECT_TRUE(outcome.completed);
  EXPECT_EQ(rig.notifier.registryWriteFailures, 2);
  EXPECT_EQ(rig.registry.closes.size(), 2u);
  EXPECT_TRUE(rig.registry.openKeys.empty());
  EXPECT_EQ(rig.progress.positions, AllMilestones());
  const Events& e = rig.log.events;
  // Each report follows its own set and comes before the key is closed.
  const auto at = [&](const std::string& event) { return std::find(e.begin(), e.end(), event) - e.begin(); };
  EXPECT_EQ(at("set Device = \"RK-T410(Cut) Series,winspool,LPT1:\" failed") + 1,
            at("registry write failed"));
  EXPECT_EQ(std::count(e.begin(), e.end(), "registry write failed"), 2);
  EXPECT_TRUE(rig.system.settingChanges.empty()) << "no new default printer to announce";
}

// A refused key is a setting not written, like a refused value: reported,
// named with its call and error, and no "Completed!".
// On Windows 10 the key is opened for the mode and "Device" together.
TEST(RegistryFailures, KeyThatDoesNotOpenIsNamedAndNotCompleted) {
  const auto systemText = [](std::uint32_t error) { return "text of " + std::to_string(error); };
  for (const bool windows10 : {false, true}) {
    SCOPED_TRACE(windows10);
    InstallRig rig;
    if (windows10) rig.system.realVersion = Windows(10);
    rig.registry.refusedRoots[RegistryRoot::LocalMachine] = testing::kErrorAccessDenied;
    rig.registry.refusedRoots[RegistryRoot::CurrentUser] = testing::kErrorAccessDenied;
    InstallInputs inputs = Inputs();
    inputs.portIndex = 5;
    const InstallOutcome outcome = Install(rig, inputs);
    ASSERT_TRUE(outcome.completed) << "the printer itself is installed";
    EXPECT_EQ(rig.notifier.questions.size(), windows10 ? 1u : 0u);
    EXPECT_EQ(outcome.settingsNotWritten,
              (std::vector<SettingNotWritten>{
                  {RegistryRoot::CurrentUser, kHkcuWindows, "Device", "RegOpenKeyExA", testing::kErrorAccessDenied},
                  {RegistryRoot::LocalMachine, kHklmPorts, "COM3:", "RegOpenKeyExA", testing::kErrorAccessDenied}}));
    EXPECT_EQ(rig.notifier.registryWriteFailures, 2);
    EXPECT_TRUE(rig.registry.sets.empty());
    EXPECT_TRUE(rig.registry.openKeys.empty());
    EXPECT_EQ(rig.progress.positions, AllMilestones());
    EXPECT_TRUE(rig.system.settingChanges.empty());

    EXPECT_EQ(FailureMessage(outcome, systemText), "");
    EXPECT_EQ(SettingsNotWrittenMessage(outcome, systemText),
              "The printer \"RK-T410(Cut) Series\" was installed, but not all of its settings were written. The "
              "printer can be used; what is missing below can be set in Windows' printer and port settings, or by "
              "running Oriel again once its cause is fixed.\n"
              "\n    It is not the default printer: RegOpenKeyExA failed for \"Device\" in HKEY_CURRENT_USER\\" +
                  kHkcuWindows + ". System error 5: text of 5"
              "\n    The serial settings of COM3: are not set: RegOpenKeyExA failed for \"COM3:\" in "
              "HKEY_LOCAL_MACHINE\\" + kHklmPorts + ". System error 5: text of 5\n\n" +
                  ErrorHint(testing::kErrorAccessDenied));
  }

  InstallRig clean;
  EXPECT_EQ(SettingsNotWrittenMessage(Install(clean, Inputs()), systemText), "");
}

TEST(FinalPause, FiveHundredMillisecondsOnce) {
  InstallRig rig;
  ASSERT_TRUE(Install(rig, Inputs()).completed);
  EXPECT_EQ(rig.system.sleeps, std::vector<std::uint32_t>{500});
}

// ---- Failures that stop the run ----

struct BadSelection {
  const char* subject;
  InstallInputs inputs;
};

InstallInputs With(void (*change)(InstallInputs&)) {
  InstallInputs inputs = Inputs();
  change(inputs);
  return inputs;
}

TEST(StopsAtSelection, OutsideAnyTableBeforeAnythingIsDone) {
  const BadSelection cases[] = {
      {"model row -1", With([](InstallInputs& i) { i.modelRow = -1; })},
      {"model row 15", With([](InstallInputs& i) { i.modelRow = 15; })},
      {"port index -1", With([](InstallInputs& i) { i.portIndex = -1; })},
      {"port index 7", With([](InstallInputs& i) { i.portIndex = 7; })},
      {"baud-rate index 9", With([](InstallInputs& i) { i.serial.baud = 9; })},
      {"data-bits index 4", With([](InstallInputs& i) { i.serial.dataBits = 4; })},
      {"stop-bits index 3", With([](InstallInputs& i) { i.serial.stopBits = 3; })},
      {"parity index -1", With([](InstallInputs& i) { i.serial.parity = -1; })},
      {"parity index 5", With([](InstallInputs& i) { i.serial.parity = 5; })},
      {"flow-control index 3", With([](InstallInputs& i) { i.serial.flow = 3; })},
  };
  for (const BadSelection& c : cases) {
    SCOPED_TRACE(c.subject);
    InstallRig rig;
    std::string chosen = "before";
    const InstallOutcome outcome = InstallPrinter(kVariant32, c.inputs, chosen, rig.services);
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(outcome.step, InstallStep::Selection);
    EXPECT_EQ(outcome.subject, c.subject);
    EXPECT_EQ(outcome.error, 0u);
    EXPECT_EQ(chosen, "before");
    EXPECT_TRUE(rig.log.events.empty());
  }
}

// Found before the package is looked at: nothing is checked, asked or written.
TEST(StopsBeforePackageCheck, ArmProcessorOrProtectedPrintMode) {
  const std::tuple<RegistryRoot, std::string, std::string> kPolicy{
      RegistryRoot::LocalMachine, "SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP",
      "WindowsProtectedPrintGroupPolicyState"};
  const std::tuple<RegistryRoot, std::string, std::string> kCurrentMajor{
      RegistryRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "CurrentMajorVersionNumber"};
  const struct {
    const char* name;
    std::optional<std::uint16_t> machine;
    std::optional<std::uint32_t> policy;
    std::optional<bool> setting;  // none: unreadable where the class exists
    InstallStep step;
    const char* subject;
    std::uint32_t driverError = 0;
    OsVersionInfoEx real = testing::Version(10, 0, 2, 0, 26100).info;
    std::optional<std::uint32_t> currentMajor = std::nullopt;
  } cases[] = {
      {"ARM64", kMachineArm64, std::nullopt, std::nullopt, InstallStep::Processor, "ARM64"},
      {"x64", kMachineAmd64, std::nullopt, std::nullopt, InstallStep::None, ""},
      {"x86", kMachineI386, std::nullopt, std::nullopt, InstallStep::None, ""},
      {"no IsWow64Process2", std::nullopt, std::nullopt, std::nullopt, InstallStep::None, ""},
      {"policy 1", std::nullopt, 1, std::nullopt, InstallStep::ProtectedPrint, "policy"},
      // A policy made with the 24H2 templates reaches 23H2 too, which has no such mode.
      {"policy 1 on 22631", std::nullopt, 1, std::nullopt, InstallStep::None, "", 0,
       testing::Version(10, 0, 2, 0, 22631).info},
      {"policy 0", std::nullopt, 0, std::nullopt, InstallStep::None, ""},
      {"setting on", std::nullopt, 0, true, InstallStep::ProtectedPrint, "setting"},
      {"setting off", std::nullopt, std::nullopt, false, InstallStep::None, ""},
      // No Windows Runtime to ask before Windows 8: the class, which says on, is not asked.
      {"Windows 7", std::nullopt, 1, true, InstallStep::None, "", 0, Windows(6, 1)},
      // A compatibility mode on Oriel.exe: the class answers all the same.
      {"compatibility mode", std::nullopt, 1, false, InstallStep::ProtectedPrint, "policy", 0, Windows(6, 1), 10},
      {"unreadable, driver refused", std::nullopt, std::nullopt, std::nullopt, InstallStep::AddPrinterDriver,
       "RK-T410(Cut) Series", 3013},
      {"off, driver refused", std::nullopt, std::nullopt, false, InstallStep::AddPrinterDriver,
       "RK-T410(Cut) Series", 3013},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InstallRig rig;
    rig.system.realVersion = c.real;
    rig.system.nativeMachine = c.machine;
    rig.system.protectedPrint = c.setting;
    rig.spooler.addDriverError = c.driverError;
    if (c.policy) rig.registry.dwords[kPolicy] = *c.policy;
    if (c.currentMajor) rig.registry.dwords[kCurrentMajor] = *c.currentMajor;
    const InstallOutcome outcome = Install(rig, Inputs(), kVariant64);
    EXPECT_EQ(outcome.step, c.step);
    EXPECT_EQ(outcome.completed, c.step == InstallStep::None);
    if (outcome.completed) continue;
    if (c.step == InstallStep::AddPrinterDriver) {
      const std::string message = FailureMessage(outcome, [](std::uint32_t) { return std::string(); });
      const std::string likely = "The printer was not installed.\n\nWindows refused the printer driver, most likely "
                                 "because Windows protected print mode is on";
      EXPECT_EQ(message.rfind(likely, 0) == 0, !c.setting.has_value()) << message;
      continue;
    }
    EXPECT_EQ(outcome.subject, c.subject);
    EXPECT_TRUE(rig.files.checked.empty());
    EXPECT_TRUE(rig.notifier.questions.empty());
    EXPECT_TRUE(rig.registry.opens.empty());
    EXPECT_TRUE(rig.spooler.directoryCalls.empty());
  }

  InstallOutcome arm;
  arm.step = InstallStep::Processor;
  arm.subject = "ARM64";
  EXPECT_EQ(DescribeFailure(arm),
            "This PC's processor is ARM64. The driver packages hold printer drivers for 32-bit and 64-bit x86 "
            "Windows only, and Windows cannot run them here. Nothing was installed: an ARM64 driver from the "
            "printer's maker is needed.");
  InstallOutcome protectedPrint;
  protectedPrint.step = InstallStep::ProtectedPrint;
  EXPECT_EQ(DescribeFailure(protectedPrint),
            "Windows protected print mode is on, so Windows accepts only its own printer drivers and would refuse "
            "this one. Nothing was installed.\n\nThe mode is turned off in Settings > Bluetooth & devices > "
            "Printers & scanners, or, where your administrator's policy turned it on, by that policy.");
}

void ExpectStoppedAfterDirectoryQuery(const InstallRig& rig) {
  EXPECT_EQ(rig.spooler.directoryCalls.size(), 1u);
  EXPECT_TRUE(rig.files.copies.empty());
  EXPECT_TRUE(rig.spooler.drivers.empty());
  EXPECT_TRUE(rig.spooler.printers.empty());
  EXPECT_TRUE(rig.registry.opens.empty());
  EXPECT_TRUE(rig.progress.positions.empty());
  EXPECT_TRUE(rig.system.sleeps.empty());
}

TEST(StopsAtDriverDirectory, QueryFails) {
  InstallRig rig;
  rig.spooler.directoryError = kRpcUnavailable;
  const InstallOutcome outcome = Install(rig, Inputs(), kVariant64);
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(outcome.step, InstallStep::DriverDirectory);
  EXPECT_EQ(outcome.subject, "Windows x64");
  EXPECT_EQ(outcome.error, kRpcUnavailable);
  ExpectStoppedAfterDirectoryQuery(rig);
}

// Going on would copy into the root of the current drive.
TEST(StopsAtDriverDirectory, EmptyAnswer) {
  InstallRig rig;
  rig.spooler.directoryText = "";
  const InstallOutcome outcome = Install(rig, Inputs());
  EXPECT_EQ(outcome.step, InstallStep::DriverDirectory);
  EXPECT_EQ(outcome.subject, "Windows NT x86");
  EXPECT_EQ(outcome.error, 0u);
  ExpectStoppedAfterDirectoryQuery(rig);
}

TEST(StopsAtDriverDirectory, AnswerFillsTheWholeBufferWithoutTerminator) {
  InstallRig rig;
  rig.spooler.directoryText = std::string(255, 'd');
  const InstallOutcome outcome = Install(rig, Inputs());
  EXPECT_EQ(outcome.step, InstallStep::DriverDirectory);
  EXPECT_EQ(outcome.error, kErrorInsufficientBuffer);
  ExpectStoppedAfterDirectoryQuery(rig);
}

TEST(DriverDirectory, LongestThatFitsIsUsedWhole) {
  InstallRig rig;
  const std::string dir = "C:\\" + std::string(251, 'd');
  ASSERT_EQ(dir.size(), 254u);
  rig.spooler.directoryText = dir;
  ASSERT_TRUE(Install(rig, Inputs()).completed);
  EXPECT_EQ(rig.files.copies.at(0).destination, dir + "\\RKT4X.DLL");
  EXPECT_EQ(rig.files.copies.at(9).destination, dir + "\\RKUNI.dll");
}

// Every file is looked at before anything is written, and all the missing
// ones are named at once.
TEST(StopsAtPackageCheck, NamesEveryUnreadableFileAndWritesNothing) {
  InstallRig rig;
  rig.system.realVersion = Windows(10);  // the question waits for a complete package
  rig.files.unreadable["x64\\UNIDRV.HLP"] = testing::kErrorFileNotFound;
  rig.files.unreadable["x64\\RKUNI.dll"] = testing::kErrorAccessDenied;
  const InstallOutcome outcome = Install(rig, Inputs(), kVariant64);
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(outcome.step, InstallStep::PackageCheck);
  EXPECT_EQ(outcome.subject, "C:\\work\\x64");
  EXPECT_EQ(outcome.unreadable, (std::vector<UnreadableFile>{{"UNIDRV.HLP", testing::kErrorFileNotFound},
                                                             {"RKUNI.dll", testing::kErrorAccessDenied}}));
  EXPECT_EQ(rig.files.checked.size(), 10u);
  EXPECT_TRUE(rig.spooler.directoryCalls.empty());
  EXPECT_TRUE(rig.files.copies.empty());
  EXPECT_TRUE(rig.spooler.drivers.empty());
  EXPECT_TRUE(rig.spooler.printers.empty());
  EXPECT_TRUE(rig.registry.opens.empty());
  EXPECT_TRUE(rig.progress.positions.empty());
  EXPECT_TRUE(rig.notifier.questions.empty());

  const auto systemText = [](std::uint32_t error) { return "text of " + std::to_string(error); };
  EXPECT_EQ(FailureMessage(outcome, systemText),
            "The printer was not installed.\n\n"
            "The driver package in \"C:\\work\\x64\" is incomplete. Nothing was installed. Copy the complete "
            "\"x64\" folder from the printer maker's download beside Oriel.exe, then run Oriel again.\n\n"
            "These files are missing or cannot be read:\n"
            "    UNIDRV.HLP: text of 2\n"
            "    RKUNI.dll: text of 5");
}

// Started from a shortcut's "Start in", an elevated batch file or a task,
// Oriel's current directory is elsewhere: the package beside Oriel.exe is
// used, and where neither is complete both folders are named.
TEST(PackageFolder, BesideTheProgramWhenNotInTheCurrentDirectory) {
  const auto startedElsewhere = [](InstallRig& rig) {
    rig.files.currentDirectory = "C:\\Windows\\SysWOW64";
    rig.files.programFolder = u"D:\\Oriel";
    rig.files.unreadable["x64\\RKUNI.dll"] = testing::kErrorFileNotFound;
  };
  InstallRig rig;
  startedElsewhere(rig);
  ASSERT_TRUE(Install(rig, Inputs(), kVariant64).completed);
  EXPECT_EQ(rig.files.checked.size(), 20u);
  EXPECT_EQ(rig.files.copies.at(0).source, "D:\\Oriel\\x64\\RKT4X.DLL");
  EXPECT_EQ(rig.files.copies.at(9).source, "D:\\Oriel\\x64\\RKUNI.dll");

  InstallRig neither;
  startedElsewhere(neither);
  for (const std::string& name : PackageFiles()) {
    neither.files.unreadable["D:\\Oriel\\x64\\" + name] = testing::kErrorPathNotFound;
  }
  const InstallOutcome outcome = Install(neither, Inputs(), kVariant64);
  EXPECT_EQ(outcome.step, InstallStep::PackageCheck);
  EXPECT_TRUE(neither.files.copies.empty());
  const auto systemText = [](std::uint32_t error) { return "text of " + std::to_string(error); };
  EXPECT_EQ(FailureMessage(outcome, systemText),
            "The printer was not installed.\n\n"
            "The driver package in \"C:\\Windows\\SysWOW64\\x64\", the folder Oriel was started in, is incomplete. "
            "Nothing was installed. Copy the complete \"x64\" folder from the printer maker's download beside "
            "Oriel.exe, then run Oriel again.\n\nThese files are missing or cannot be read:\n"
            "    RKUNI.dll: text of 2\n\n"
            "Oriel also looked beside Oriel.exe, in \"D:\\Oriel\\x64\": none of the package's files can be read "
            "there:\n    text of 3");

  // Run as administrator from a drive mapped in the user's session, which the
  // elevated token does not see: both folders are "path not found".
  InstallRig mapped;
  startedElsewhere(mapped);
  mapped.files.programFolder = u"Z:\\Oriel";
  mapped.files.unseenDrives = {'Z'};
  for (const std::string& name : PackageFiles()) {
    mapped.files.unreadable["Z:\\Oriel\\x64\\" + name] = testing::kErrorPathNotFound;
  }
  const std::string message = FailureMessage(Install(mapped, Inputs(), kVariant64), systemText);
  EXPECT_EQ(message.substr(0, message.find("The driver package")),
            "The printer was not installed.\n\nOriel cannot see the drive Z:. A drive letter mapped to a network "
            "share in your session is not seen by a program run as administrator. Start Oriel.exe from the share's "
            "own path (\\\\server\\share\\...), or copy Oriel.exe and its package folders to this PC, then run "
            "Oriel again.\n\n");
}

// The package calls take the system code page. Where that is UTF-8, Windows
// refuses the conversion flags a legacy code page takes; a name the code page
// cannot spell goes by its short name, or is named as not looked in.
TEST(PackageFolder, BesideTheProgramAsTheSystemCodePageSpellsIt) {
  const std::u16string lask = u"D:\\\u0141ask";  // "Łask"
  const struct {
    const char* name;
    unsigned codePage;
    std::optional<std::u16string> shortName, currentDirectory;
    std::string path;  // empty: not looked in
  } cases[] = {
      {"UTF-8", 65001, std::nullopt, std::nullopt, "D:\\\xC5\x81" "ask"},
      {"short name", 1252, u"D:\\LASK~1", std::nullopt, "D:\\LASK~1"},
      {"no short name", 1252, std::nullopt, std::nullopt, ""},
      {"started there", 1252, std::nullopt, lask, ""},
      {"started there, named in other case", 1252, std::nullopt, u"d:\\\u0141ASK", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    InstallRig rig;
    rig.files.codePage = c.codePage;
    rig.files.programFolder = lask;
    if (c.shortName) rig.files.shortNames[lask] = *c.shortName;
    rig.files.currentDirectoryName = c.currentDirectory;
    for (const std::string& name : PackageFiles()) rig.files.unreadable["x64\\" + name] = testing::kErrorPathNotFound;
    const InstallOutcome outcome = Install(rig, Inputs(), kVariant64);
    if (!c.path.empty()) {
      ASSERT_TRUE(outcome.completed);
      EXPECT_EQ(rig.files.copies.at(0).source, c.path + "\\x64\\RKT4X.DLL");
      continue;
    }
    EXPECT_EQ(outcome.step, InstallStep::PackageCheck);
    EXPECT_EQ(rig.files.checked.size(), 10u);
    if (c.currentDirectory) {
      EXPECT_EQ(ProgramFolderUnnamedParagraph(outcome), "");
      continue;
    }
    EXPECT_NE(DescribeFailure(outcome).find("x64\", the folder Oriel was started in, is"), std::string::npos);
    EXPECT_EQ(ProgramFolderUnnamedParagraph(outcome),
              "\n\nOriel could not look beside Oriel.exe, in \"D:\\\xC5\x81" "ask\\x64\": the file calls it uses take "
              "names in Windows' code page for non-Unicode programs, which cannot spell that folder's name, and the "
              "folder has no short (8.3) name to use instead. Start Oriel.exe in its own folder (double-click it "
              "there), or put Oriel.exe and its package in a folder whose name uses only letters of that code page.");
  }
}

// CopyFile gives each copy its source's attributes and will not replace a
// read-only or hidden file: a package from a CD must install twice.
TEST(Copies, AReadOnlyPackageInstallsAgain) {
  InstallRig rig;
  for (const std::string& name : PackageFiles()) rig.files.readOnly.insert("win2k\\" + name);
  rig.files.hidden.insert("win2k\\UNIDRV.HLP");  // and read-only: both come with the copy
  // Left by another installer.
  rig.files.hidden.insert("C:\\drv\\uniDRV.DLL");
  rig.files.readOnly.insert("C:\\drv\\uniDRV.DLL");
  ASSERT_TRUE(Install(rig, Inputs()).completed);
  ASSERT_TRUE(Install(rig, Inputs()).completed);
  for (const testing::FileCopy& copy : rig.files.copies) {
    EXPECT_EQ(copy.error, 0u) << copy.destination;
    EXPECT_EQ(rig.files.readOnly.count(copy.destination), 0u) << copy.destination;
  }
  EXPECT_EQ(rig.files.hidden, std::set<std::string>{"win2k\\UNIDRV.HLP"});
  EXPECT_EQ(ReplaceableAttributes(kFileAttributeReadOnly | kFileAttributeHidden), kFileAttributeNormal);
}

TEST(StopsAtCopy, NthCopyFailsAndEarlierCopiesStay) {
  InstallRig rig;
  rig.files.failingCopyIndex = 4;  // UNIDRV.HLP
  rig.files.failingCopyError = testing::kErrorAccessDenied;
  const InstallOutcome outcome = Install(rig, Inputs());
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(outcome.step, InstallStep::CopyFile);
  EXPECT_EQ(outcome.subject, "win2k\\UNIDRV.HLP");
  EXPECT_EQ(outcome.destination, "C:\\drv\\UNIDRV.HLP");
  EXPECT_EQ(outcome.error, testing::kErrorAccessDenied);
  EXPECT_EQ(rig.files.copies.size(), 5u);
  EXPECT_EQ(rig.progress.positions, (std::vector<int>{10, 20, 30}));
  EXPECT_TRUE(rig.spooler.drivers.empty());
  EXPECT_TRUE(rig.spooler.printers.empty());
  EXPECT_TRUE(rig.registry.opens.empty());
  EXPECT_TRUE(rig.system.sleeps.empty());
}

TEST(StopsAtCopy, MissingSourceOfTheFirstCopy) {
  InstallRig rig;
  rig.files.failingSources["x64\\RKT4X.DLL"] = testing::kErrorFileNotFound;
  const InstallOutcome outcome = Install(rig, Inputs(), kVariant64);
  EXPECT_EQ(outcome.step, InstallStep::CopyFile);
  EXPECT_EQ(outcome.subject, "x64\\RKT4X.DLL");
  EXPECT_EQ(outcome.error, testing::kErrorFileNotFound);
  EXPECT_EQ(rig.files.copies.size(), 1u);
  EXPECT_TRUE(rig.progress.positions.empty());
  EXPECT_TRUE(rig.spooler.drivers.empty());
}

TEST(StopsAtAddPrinterDriver, NoPrinterNoRegistry) {
  InstallRig rig;
  rig.spooler.addDriverError = testing::kErrorUnknownPrinterDriver;
  const InstallOutcome outcome = Install(rig, Inputs(5));
  EXPECT_EQ(outcome.step, InstallStep::AddPrinterDriver);
  EXPECT_EQ(outcome.subject, "RK-T430E Series");
  EXPECT_EQ(outcome.error, testing::kErrorUnknownPrinterDriver);
  EXPECT_EQ(rig.files.copies.size(), 10u);
  EXPECT_EQ(rig.progress.positions, (std::vector<int>{10, 20, 30, 40, 50, 60}));
  EXPECT_TRUE(rig.spooler.printers.empty());
  EXPECT_TRUE(rig.registry.opens.empty());
  EXPECT_TRUE(rig.system.sleeps.empty());
}

// Windows refuses a second AddPrinterA of one name with 1802: the printer
// from the earlier run moves to the chosen port and driver, and keeps the
// rest of what it had.
TEST(AddPrinter, ExistingPrinterMovesToTheChosenPort) {
  InstallRig rig;
  rig.spooler.existingPrinter.emplace();
  testing::StoredPrinter& before = *rig.spooler.existingPrinter;
  before.printerName = "RK-T410(Cut) Series";
  const PrinterRecord2 old = before.Record();
  InstallInputs inputs = Inputs(1, "COM3:");
  inputs.portIndex = 3;
  const InstallOutcome outcome = Install(rig, inputs);
  EXPECT_TRUE(outcome.completed) << DescribeFailure(outcome);

  const Events& e = rig.log.events;
  const auto at = [&](const std::string& event) { return std::find(e.begin(), e.end(), event) - e.begin(); };
  EXPECT_LT(at("AddPrinter2 \"RK-T410(Cut) Series\" \"COM3:\""), at("OpenPrinter \"RK-T410(Cut) Series\""));
  EXPECT_LT(at("SetPrinter2 \"RK-T410(Cut) Series\" \"COM3:\" \"RK-T410(Cut) Series\""), at("progress 80"));

  ASSERT_EQ(rig.spooler.setPrinterRecords.size(), 1u);
  const testing::RecordedPrinter& set = rig.spooler.setPrinterRecords[0];
  EXPECT_EQ(set.pPortName, "COM3:");
  EXPECT_EQ(set.pDriverName, "RK-T410(Cut) Series");
  EXPECT_EQ(set.pServerName, old.pServerName);
  EXPECT_EQ(set.pPrinterName, old.pPrinterName);
  EXPECT_EQ(set.pShareName, "Counter");
  EXPECT_EQ(set.pComment, "by the till");
  EXPECT_EQ(set.pLocation, "shop floor");
  EXPECT_EQ(set.pSepFile, "sep.sep");
  EXPECT_EQ(set.pPrintProcessor, "WinPrint");
  EXPECT_EQ(set.pDatatype, "RAW");
  EXPECT_EQ(set.pParameters, "-x");
  EXPECT_EQ(set.pDevMode, nullptr);  // "Old Driver"'s settings mean nothing to the new driver
  EXPECT_EQ(set.pSecurityDescriptor, nullptr);  // left as the printer has it
  EXPECT_EQ(set.Attributes, old.Attributes);
  EXPECT_EQ(set.Priority, old.Priority);
  EXPECT_EQ(set.DefaultPriority, old.DefaultPriority);
  EXPECT_EQ(set.StartTime, old.StartTime);
  EXPECT_EQ(set.UntilTime, old.UntilTime);
  EXPECT_EQ(set.Status, old.Status);
  EXPECT_EQ(set.cJobs, old.cJobs);
  EXPECT_EQ(set.AveragePPM, old.AveragePPM);

  EXPECT_EQ(rig.spooler.existingPrinter->portName, "COM3:");
  EXPECT_EQ(rig.registry.Value(RegistryRoot::CurrentUser, kHkcuWindows, "Device"),
            "RK-T410(Cut) Series,winspool,COM3:");
  EXPECT_EQ(rig.spooler.closedPrinters, std::vector<PrinterHandle>{rig.spooler.PrinterHandleGiven()});
  EXPECT_EQ(rig.progress.positions, AllMilestones());

  // The same driver keeps the settings the user made with it.
  InstallRig same;
  same.spooler.existingPrinter.emplace();
  same.spooler.existingPrinter->printerName = "RK-T410(Cut) Series";
  same.spooler.existingPrinter->driverName = "rk-t410(cut) series";
  ASSERT_TRUE(Install(same, inputs).completed);
  EXPECT_EQ(same.spooler.setPrinterRecords.at(0).devModeText, "DEVMODE of Old Driver");
}

// A rewrite that fails is reported like any failed step: which call, the
// system's code, the handle closed, and no "Device" naming the new port.
TEST(StopsAtExistingPrinter, EachCallOfTheRewriteThatFails) {
  struct Case {
    InstallStep step;
    void (*refuse)(testing::FakeSpooler&);
  };
  const Case cases[] = {
      {InstallStep::OpenPrinter, [](testing::FakeSpooler& s) { s.openPrinterError = testing::kErrorAccessDenied; }},
      {InstallStep::GetPrinter, [](testing::FakeSpooler& s) { s.getPrinterError = kRpcUnavailable; }},
      // Over the 16 MiB the enumerations take: refused without asking again.
      {InstallStep::GetPrinter, [](testing::FakeSpooler& s) { s.getPrinterNeeded = kMaxEnumerationBytes + 1; }},
      {InstallStep::SetPrinter, [](testing::FakeSpooler& s) { s.setPrinterError = 1796; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.step));
    InstallRig rig;
    rig.spooler.existingPrinter.emplace();
    rig.spooler.existingPrinter->printerName = "RK-T410(Cut) Series";
    c.refuse(rig.spooler);
    const InstallOutcome outcome = Install(rig, Inputs(1, "COM3:"));
    EXPECT_FALSE(outcome.completed);
    EXPECT_EQ(outcome.step, c.step);
    EXPECT_EQ(outcome.subject, "RK-T410(Cut) Series");
    EXPECT_NE(outcome.error, 0u);
    EXPECT_EQ(rig.spooler.closedPrinters.size(), c.step == InstallStep::OpenPrinter ? 0u : 1u);
    EXPECT_EQ(rig.spooler.existingPrinter->portName, "LPT2:");
    EXPECT_TRUE(rig.registry.opens.empty());
    EXPECT_EQ(rig.progress.positions.back(), 70);
    if (rig.spooler.getPrinterNeeded) {
      EXPECT_EQ(outcome.error, kErrorNotEnoughMemory);
      EXPECT_EQ(std::count(rig.log.events.begin(), rig.log.events.end(), "GetPrinter2 0"), 1);
      EXPECT_EQ(std::count_if(rig.log.events.begin(), rig.log.events.end(),
                              [](const std::string& e) { return e.rfind("GetPrinter2", 0) == 0; }),
                1);
    }
    if (c.step == InstallStep::SetPrinter) {
      EXPECT_EQ(DescribeFailure(outcome),
                "A printer named \"RK-T410(Cut) Series\" exists already, and Windows did not move it to the port "
                "\"COM3:\". SetPrinterA failed for it.");
    }
  }
}

// Otherwise "Device" would name a printer that does not exist.
TEST(StopsAtAddPrinter, AnyOtherRefusal) {
  InstallRig rig;
  rig.spooler.addPrinterError = testing::kErrorInvalidParameter;
  InstallInputs inputs = Inputs();
  inputs.portIndex = 3;
  const InstallOutcome outcome = Install(rig, inputs, kVariant64);
  EXPECT_EQ(outcome.step, InstallStep::AddPrinter);
  EXPECT_EQ(outcome.subject, "RK-T410(Cut) Series");
  EXPECT_EQ(outcome.error, testing::kErrorInvalidParameter);
  EXPECT_EQ(rig.spooler.drivers.size(), 1u);  // stays registered
  EXPECT_TRUE(rig.spooler.closedPrinters.empty());
  EXPECT_TRUE(rig.registry.opens.empty());
  EXPECT_TRUE(rig.system.sleeps.empty());
  EXPECT_EQ(rig.progress.positions, (std::vector<int>{10, 20, 30, 40, 50, 60, 70}));
}

// The catalogue's module name is short; a row built here checks the bound.
TEST(StopsAtDriverRecord, ModuleNameTooLongForTheList) {
  // 60-byte template + name + ".DLL" + two zeros: 189 fits exactly, 190 does not.
  for (const std::size_t baseLength : {std::size_t{189}, std::size_t{190}}) {
    SCOPED_TRACE(baseLength);
    const std::string moduleBase(baseLength, 'M');
    const ModelRow row{moduleBase, "LONG", "Long Series", true};
    InstallRig rig;
    std::string chosen;
    const InstallOutcome outcome = InstallModel(kVariant32, row, Inputs(), chosen, rig.services);
    EXPECT_EQ(rig.files.copies.size(), 10u);
    if (baseLength == 189) {
      ASSERT_TRUE(outcome.completed);
      const auto& list = *rig.spooler.drivers.at(0).dependentFiles;
      ASSERT_EQ(list.size(), 255u);
      EXPECT_EQ(std::string(list.begin() + 60, list.end() - 2), moduleBase + ".DLL");
      EXPECT_EQ(list[253], '\0');
      EXPECT_EQ(list[254], '\0');
    } else {
      EXPECT_EQ(outcome.step, InstallStep::DriverRecord);
      EXPECT_EQ(outcome.subject, moduleBase + ".DLL");
      EXPECT_EQ(outcome.error, kErrorInsufficientBuffer);
      EXPECT_TRUE(rig.spooler.drivers.empty());
      EXPECT_EQ(rig.progress.positions.back(), 60);
    }
  }
}

// ---- Failure texts ----

TEST(DescribeFailure, NamesWhatFailedAndWhichFileOrCall) {
  auto outcome = [](InstallStep step, std::string subject, std::uint32_t error, std::string destination = "") {
    InstallOutcome o;
    o.step = step;
    o.subject = std::move(subject);
    o.error = error;
    o.destination = std::move(destination);
    return o;
  };
  EXPECT_EQ(DescribeFailure(outcome(InstallStep::CopyFile, "win2k\\RKT4X.DLL", 2, "C:\\drv\\RKT4X.DLL")),
            "A driver file could not be copied into Windows' printer-driver folder. Copying \"win2k\\RKT4X.DLL\" "
            "to \"C:\\drv\\RKT4X.DLL\" failed.");
  EXPECT_EQ(DescribeFailure(outcome(InstallStep::AddPrinterDriver, "RK-T410(Cut) Series", 1797)),
            "Windows did not take the printer driver. AddPrinterDriverA failed for \"RK-T410(Cut) Series\".");
  EXPECT_EQ(DescribeFailure(outcome(InstallStep::AddPrinter, "RK-T440 Series", 87)),
            "The driver was installed, but Windows did not create the printer. AddPrinterA failed for \"RK-T440 "
            "Series\".");
  EXPECT_EQ(DescribeFailure(outcome(InstallStep::DriverDirectory, "Windows x64", 1722)),
            "The print spooler did not say where printer drivers go: GetPrinterDriverDirectoryA failed for "
            "\"Windows x64\".");
  EXPECT_EQ(DescribeFailure(outcome(InstallStep::DriverDirectory, "Windows x64", 0)),
            "The print spooler did not say where printer drivers go. Restart the Print Spooler service (in "
            "Services) or the PC, then run Oriel again.\n\nGetPrinterDriverDirectoryA gave an empty folder for "
            "\"Windows x64\".");
  EXPECT_EQ(DescribeFailure(outcome(InstallStep::DriverDirectory, "Windows NT x86", 122)),
            "The folder where Windows keeps printer drivers has a longer name than Oriel can take (255 bytes, for "
            "\"Windows NT x86\"). This is a fault in Oriel, not in this PC: please report this message (Ctrl+C copies it).");
  EXPECT_EQ(DescribeFailure(outcome(InstallStep::DriverRecord, "X.DLL", 122)),
            "The driver's list of files, with the module file \"X.DLL\", is longer than Oriel can take (255 "
            "bytes). This is a fault in Oriel, not in this PC: please report this message (Ctrl+C copies it).");
  EXPECT_EQ(DescribeFailure(outcome(InstallStep::Selection, "model row 15", 0)),
            "Oriel was asked to install a choice it has no entry for (model row 15). This is a fault in Oriel, not in this PC: please report this message (Ctrl+C copies it).");

  InstallOutcome done;
  done.completed = true;
  EXPECT_EQ(DescribeFailure(done), "");
}

// After the system's text, one sentence on what to do, for the errors met
// when installing printers.
TEST(FailureMessage, EndsWithTheHintForCommonErrors) {
  const std::string administrator =
      "Windows refused access. Oriel needs administrator rights (on Windows XP, run it from an administrator's "
      "account). Where it has them, this is commonly a policy set by your administrator, security software, or a "
      "file held open by another program: have the refusal lifted or close those programs, then run Oriel again.";
  const std::string policy = "The system's driver policy refused this printer driver: ask your administrator to allow it.";
  const std::string otherWindows =
      "The driver files in \"C:\\work\\win2k\" are for another kind of Windows than this one (\"Windows NT "
      "x86\"): copy the complete folder from the printer maker's download there, then run Oriel again.";
  const std::string spooler =
      "The Print Spooler service is not running: start it (where it is disabled, set its startup type to "
      "Automatic first, in Services), then run Oriel again.";
  const struct {
    std::uint32_t error;
    std::string hint;
  } cases[] = {
      {1722, spooler},
      // What a spooler that is stopping, restarting or hung answers.
      {1726, spooler},
      {1717, spooler},
      {1727, spooler},
      {1753, spooler},
      {1930, "Windows refused the printer driver: since Windows Vista it accepts no kernel-mode printer drivers, and "
             "the driver in this package is of a kind this Windows does not accept. A driver for this Windows from "
             "the printer's maker is needed."},
      {5, administrator},
      {740, administrator},
      {1796, "The port is unknown: connect the printer and switch it on, or create the port with \"Create "
             "Port...\", then run Oriel again."},
      // Pressing Install again would repeat it: the hint says what it means.
      {1797, "This Windows needs the other driver package: a 64-bit Windows takes the x64 package, a 32-bit "
             "Windows the win2k package. Oriel installed the driver \"RK-T410(Cut) Series\" for \"Windows NT "
             "x86\" from \"C:\\work\\win2k\", which this Windows cannot use for a printer. Make sure each folder "
             "holds the package its name says, then run Oriel again."},
      {3013, policy},
      {3014, policy},
      {193, otherWindows},
      {216, otherWindows},
      {32, "A file is in use: close the programs that are printing, then run Oriel again."},
      {112, "The disk is full: free some space on the system drive, then run Oriel again."},
      {87, ""},
  };
  const auto systemText = [](std::uint32_t error) { return "text of " + std::to_string(error); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.error);
    InstallRig rig;
    rig.spooler.addDriverError = c.error;
    const InstallOutcome outcome = Install(rig, Inputs());
    ASSERT_EQ(outcome.step, InstallStep::AddPrinterDriver);
    std::string expected = "The printer was not installed.\n\nWindows did not take the printer driver. "
                           "AddPrinterDriverA failed for \"RK-T410(Cut) Series\".\n\nSystem error " +
                           std::to_string(c.error) + ": text of " + std::to_string(c.error);
    if (!c.hint.empty()) expected += "\n\n" + c.hint;
    EXPECT_EQ(FailureMessage(outcome, systemText), expected);
  }
}

// What a real failed run hands the page reads end to end.
TEST(DescribeFailure, FromAFailedRun) {
  InstallRig rig;
  rig.spooler.directoryText = "C:\\spool\\drivers\\w32x86";
  rig.files.failingCopyIndex = 1;
  EXPECT_EQ(DescribeFailure(Install(rig, Inputs(8))),
            "A driver file could not be copied into Windows' printer-driver folder. Copying \"win2k\\V5YYK.GPD\" "
            "to \"C:\\spool\\drivers\\w32x86\\V5YYK.GPD\" failed.");
}

// ---- The technician's guide ----

// Every message the pages can show, with [placeholders] where a name or the
// system's text goes, as docs/user-guide.md quotes them.
std::vector<std::string> EveryMessage() {
  constexpr std::uint32_t kCode = 4242;  // no hint of its own
  const auto systemText = [](std::uint32_t) { return std::string("[system text]"); };
  std::vector<std::string> messages;
  const struct {
    InstallStep step;
    std::string subject;
    std::uint32_t error;
  } failures[] = {
      {InstallStep::None, "", 0},
      {InstallStep::Selection, "[choice]", 0},
      {InstallStep::Processor, "[processor]", 0},
      {InstallStep::ProtectedPrint, "policy", 0},
      {InstallStep::DriverDirectory, "[environment]", 0},
      {InstallStep::DriverDirectory, "[environment]", kErrorInsufficientBuffer},
      {InstallStep::DriverDirectory, "[environment]", kCode},
      {InstallStep::PackageCheck, "C:\\Oriel\\x64", 0},
      {InstallStep::CopyFile, "[file]", kCode},
      {InstallStep::DriverRecord, "[module file]", kErrorInsufficientBuffer},
      {InstallStep::AddPrinterDriver, "[printer]", kCode},
      {InstallStep::AddPrinter, "[printer]", kCode},
      {InstallStep::OpenPrinter, "[printer]", kCode},
      {InstallStep::GetPrinter, "[printer]", kCode},
      {InstallStep::SetPrinter, "[printer]", kCode},
  };
  for (const auto& f : failures) {
    for (const bool noFileReadable : {false, true}) {
      InstallOutcome outcome;
      outcome.step = f.step;
      outcome.subject = f.subject;
      outcome.error = f.error;
      outcome.destination = f.step == InstallStep::CopyFile ? "[destination]" : "[port]";
      if (f.step == InstallStep::PackageCheck) {
        outcome.noFileReadable = noFileReadable;
        outcome.unreadable = {{"[file]", kCode}};
        outcome.programFolderCheck = PackageFolderCheck{"[other folder]", {{"[file]", kCode}}, noFileReadable};
        messages.push_back(FailureMessage(outcome, systemText));
        outcome.programFolderCheck.reset();
        outcome.programFolderUnnamed = "[other folder]";
        messages.push_back(ProgramFolderUnnamedParagraph(outcome));
        outcome.unseenDrive = "[drive]";
      }
      outcome.protectedPrintUnknown = f.step == InstallStep::AddPrinterDriver;
      messages.push_back(FailureMessage(outcome, systemText));
    }
  }
  for (const std::string_view value : {kDeviceValueName, kLegacyDefaultPrinterModeName, std::string_view("COM1:")}) {
    InstallOutcome outcome;
    outcome.completed = true;
    outcome.driverName = "[printer]";
    const bool port = value == "COM1:";
    outcome.settingsNotWritten = {{port ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser,
                                   std::string(port ? kPortsKeyPath : kWindowsKeyPath), std::string(value),
                                   "RegSetValueExA", kCode}};
    messages.push_back(SettingsNotWrittenMessage(outcome, systemText));
  }
  messages.push_back(DefaultPrinterQuestion("[printer]"));
  messages.push_back(DefaultPrinterQuestion("[printer]", "[account]"));
  const InstallSubject installation{"[folder]", "[environment]", "[driver]"};
  for (std::uint32_t error = 1; error < 20000; ++error) {
    if (std::string hint = ErrorHint(error, &installation); !hint.empty()) messages.push_back(hint);
  }

  messages.push_back(ListFailureMessage("port list", "EnumPortsA", kCode, systemText));
  messages.push_back(ListFailureMessage("list of port types", "EnumMonitorsA", kCode, systemText));
  messages.push_back(AddPortFailureMessage("[port type]", kCode, systemText));
  messages.push_back(ConfigurePortFailureMessage("[port]", kCode, systemText));
  messages.push_back(PortPageEndMessage(std::string("[what]"), false));
  messages.push_back(PortPageEndMessage(std::nullopt, false));
  messages.push_back(PortListFailureMessage(1722, true, systemText));
  messages.push_back(StartSpoolerQuestion(false));
  messages.push_back(StartSpoolerQuestion(true));
  for (const bool mayStillStart : {false, true}) {
    for (const std::uint32_t putBack : {0u, kCode, 1u}) {
      SpoolerStartFailure failure;
      failure.call = "[call]";
      failure.error = kCode;
      failure.mayStillStart = mayStillStart;
      if (putBack != 1) failure.disabledAgain = ServiceCallResult{putBack, "[call]"};
      messages.push_back(SpoolerStartFailureMessage(failure, systemText));
    }
  }
  for (const std::uint32_t error : {0u, kCode}) {
    for (const bool serviceSpecific : {false, true}) {
      if (serviceSpecific && error == 0) continue;  // the same line as with [code]
      SpoolerStartFailure failure;
      failure.kind = SpoolerStartFailure::Kind::StoppedAgain;
      failure.error = error;
      failure.serviceSpecific = serviceSpecific;
      messages.push_back(SpoolerStartFailureMessage(failure, systemText));
    }
  }
  for (const bool stalled : {false, true}) {
    SpoolerStartFailure failure;
    failure.kind = SpoolerStartFailure::Kind::NotRunning;
    failure.state = kServiceStartPending;
    failure.stalled = stalled;
    messages.push_back(SpoolerStartFailureMessage(failure, systemText));
  }
  const std::regex code("\\b" + std::to_string(kCode) + "\\b");
  const std::regex systemError("System error [0-9]+");
  for (std::string& message : messages) {
    message = std::regex_replace(std::regex_replace(message, code, "[code]"), systemError, "System error [code]");
  }
  return messages;
}

std::string Collapsed(const std::string& text) {
  std::string collapsed;
  for (const char c : text) {
    const bool space = c == ' ' || c == '\n' || c == '\t' || c == '\r';
    if (!space) collapsed += c;
    else if (collapsed.empty() || collapsed.back() != ' ') collapsed += ' ';
  }
  return collapsed;
}

// A message reworded in pages/logic and not in the guide fails here: each of
// its lines must stand in the guide, quoted or not, however wrapped.
TEST(UserGuide, QuotesEveryMessageThePagesCanShow) {
  std::ifstream file(ORIEL_SOURCE_DIR "/docs/user-guide.md");
  ASSERT_TRUE(file) << ORIEL_SOURCE_DIR "/docs/user-guide.md";
  std::string guide;
  for (std::string line; std::getline(file, line);) {
    const std::size_t text = line.find_first_not_of(" >");
    if (text != std::string::npos) guide += " " + line.substr(text);
  }
  guide = Collapsed(guide);
  std::vector<std::string> missing;
  for (const std::string& message : EveryMessage()) {
    std::size_t start = 0;
    while (start < message.size()) {
      std::size_t end = message.find('\n', start);
      if (end == std::string::npos) end = message.size();
      std::string line = Collapsed(message.substr(start, end - start));
      if (!line.empty() && line.front() == ' ') line.erase(0, 1);
      if (!line.empty() && line.back() == ' ') line.pop_back();
      if (!line.empty() && guide.find(line) == std::string::npos &&
          std::find(missing.begin(), missing.end(), line) == missing.end()) {
        missing.push_back(line);
      }
      start = end + 1;
    }
  }
  for (const std::string& line : missing) ADD_FAILURE() << "docs/user-guide.md lacks: " << line;
}

}  // namespace
}  // namespace oriel
