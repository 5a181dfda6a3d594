// The installation over fakes with arbitrary selections, names, driver
// directory answers and refusals: every path and record text it builds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "install/default_printer.h"
#include "install/installer.h"
#include "pages/logic/install_messages.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/support/fakes.h"

namespace oriel::fuzz {
namespace {

using testing::InstallRig;

constexpr std::size_t kCopyCount = 10;
const std::vector<int> kMilestones{10, 20, 30, 40, 50, 60, 70, 80, 90, 95, 100};

std::uint32_t ReadError(FuzzInput& in) {
  switch (in.Byte() % 4) {
    case 0: return testing::kErrorAccessDenied;
    case 1: return kErrorPrinterAlreadyExists;
    case 2: return testing::kErrorUnknownPrinterDriver;
    default: return in.U32();
  }
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

bool InTable(int index, int count) { return index >= 0 && index < count; }

struct Scenario {
  bool byRow = false;  // InstallModel with a row made of fuzz bytes
  std::string environment, folder;
  InstallInputs inputs;
  std::string moduleBase, dataFileBase, driverName;
  bool usesPlugin = false;
  bool deviceFails = false, serialFails = false;
};

Scenario Read(FuzzInput& in, InstallRig& rig) {
  Scenario s;
  const std::uint8_t a = in.Byte();
  const std::uint8_t b = in.Byte();
  s.byRow = a & 0x01;
  s.inputs.setDefaultPrinter = a & 0x08;
  s.usesPlugin = a & 0x10;
  if (a & 0x20) rig.registry.refusedRoots[RegistryRoot::CurrentUser] = testing::kErrorAccessDenied;
  if (a & 0x40) rig.registry.refusedRoots[RegistryRoot::LocalMachine] = testing::kErrorAccessDenied;
  s.deviceFails = a & 0x80;
  s.serialFails = b & 0x01;
  if (s.deviceFails) rig.registry.failingValues[std::string(kDeviceValueName)] = testing::kErrorAccessDenied;
  if (s.serialFails)
    for (const char* name : {"COM1:", "COM2:", "COM3:", "COM4:"}) rig.registry.failingValues[name] = 1;

  s.inputs.modelRow = in.Index();
  s.inputs.portIndex = in.Index();
  s.inputs.serial.baud = in.Index();
  s.inputs.serial.dataBits = in.Index();
  s.inputs.serial.stopBits = in.Index();
  s.inputs.serial.parity = in.Index();
  s.inputs.serial.flow = in.Index();
  s.inputs.chosenPort = in.Text();

  rig.spooler.directoryText = in.Text();
  if (b & 0x02) rig.spooler.directoryError = in.U32();
  if (b & 0x04) {
    rig.files.failingCopyIndex = in.Byte() % (kCopyCount + 2);
    rig.files.failingCopyError = in.Bool() ? testing::kErrorFileNotFound : in.U32();
  }
  if (b & 0x08) rig.spooler.addDriverError = ReadError(in);
  if (b & 0x10) rig.spooler.addPrinterError = ReadError(in);

  const InstallVariant& standard = (a & 0x02) ? kVariant64 : kVariant32;
  s.environment = std::string(standard.environment);
  s.folder = std::string(standard.folder);
  if (a & 0x04) {
    s.environment = in.Text();
    s.folder = in.Text();
  }
  if (s.byRow) {
    s.moduleBase = in.Text();
    s.dataFileBase = in.Text();
    s.driverName = in.Text();
  }
  return s;
}

bool SelectionInTables(const Scenario& s) {
  const InstallInputs& in = s.inputs;
  return (s.byRow || InTable(in.modelRow, kModelCount)) && InTable(in.portIndex, kPortEntryCount) &&
         InTable(in.serial.baud, kBaudRateCount) && InTable(in.serial.dataBits, kDataBitsCount) &&
         InTable(in.serial.stopBits, kStopBitsCount) && InTable(in.serial.parity, kParityCount) &&
         InTable(in.serial.flow, kFlowControlCount);
}

void CheckNothingAfterFailure(const InstallRig& rig) {
  FUZZ_CHECK(rig.registry.opens.empty() && rig.registry.sets.empty());
  FUZZ_CHECK(rig.spooler.closedPrinters.empty());
  FUZZ_CHECK(rig.system.sleeps.empty());
  FUZZ_CHECK(rig.notifier.registryWriteFailures == 0);
}

void CheckDriverRecord(const testing::RecordedDriver& driver, const ModelRow& row, const std::string& environment) {
  FUZZ_CHECK(driver.dependentFiles.has_value());
  const std::vector<char>& bytes = *driver.dependentFiles;
  FUZZ_CHECK(driver.dependentFilesTerminated);
  FUZZ_CHECK(bytes.size() >= 2 && bytes.size() <= kDependentFilesSize);
  FUZZ_CHECK(bytes[bytes.size() - 1] == '\0' && bytes[bytes.size() - 2] == '\0');

  // A module name without zero bytes reads back whole: template, name, the
  // name's zero, the list's zero.
  const std::span<const char> block = row.usesPlugin ? PluginDependentFiles() : BaseDependentFiles();
  const std::string moduleFile = std::string(row.moduleBase) + ".DLL";
  if (moduleFile.find('\0') == std::string::npos) {
    std::vector<char> expected(block.begin(), block.end());
    expected.insert(expected.end(), moduleFile.begin(), moduleFile.end());
    expected.push_back('\0');
    expected.push_back('\0');
    FUZZ_CHECK(bytes == expected);
  }
  FUZZ_CHECK(driver.pName == UpToZero(std::string(row.driverName)));
  FUZZ_CHECK(driver.pEnvironment == UpToZero(environment));
  FUZZ_CHECK(driver.pDataFile == UpToZero("\\" + std::string(row.dataFileBase) + ".GPD"));
  FUZZ_CHECK(driver.cVersion == 2);
}

void Run(FuzzInput& in) {
  InstallRig rig;
  Scenario s = Read(in, rig);
  const InstallVariant variant{s.environment, s.folder};
  const ModelRow fuzzRow{s.moduleBase, s.dataFileBase, s.driverName, s.usesPlugin};

  std::string chosenPortName = "(untouched)";
  const InstallOutcome outcome = s.byRow ? InstallModel(variant, fuzzRow, s.inputs, chosenPortName, rig.services)
                                         : InstallPrinter(variant, s.inputs, chosenPortName, rig.services);

  FUZZ_CHECK(outcome.completed == (outcome.step == InstallStep::None));
  FUZZ_CHECK(DescribeFailure(outcome).empty() == outcome.completed);

  // Progress only ever walks the milestones in order.
  const auto& positions = rig.progress.positions;
  FUZZ_CHECK(positions.size() <= kMilestones.size());
  FUZZ_CHECK(std::equal(positions.begin(), positions.end(), kMilestones.begin()));

  if (!SelectionInTables(s)) {
    FUZZ_CHECK(outcome.step == InstallStep::Selection);
    FUZZ_CHECK(rig.log.events.empty());
    FUZZ_CHECK(chosenPortName == "(untouched)");
    return;
  }
  FUZZ_CHECK(outcome.step != InstallStep::Selection);
  FUZZ_CHECK(chosenPortName == s.inputs.chosenPort);
  const ModelRow& row = s.byRow ? fuzzRow : ModelCatalogueRow(s.inputs.modelRow);

  // The directory as the installer can read it back from a 255-byte buffer.
  FUZZ_CHECK(rig.spooler.directoryCalls.size() == 1);
  FUZZ_CHECK(rig.spooler.directoryCalls[0].size == kDriverDirectorySize);
  FUZZ_CHECK(rig.spooler.directoryCalls[0].bufferWasZeroed);
  const std::string directory = UpToZero(rig.spooler.directoryText);
  const bool directoryUsable =
      rig.spooler.directoryError == 0 && !directory.empty() && directory.size() < kDriverDirectorySize;
  if (!directoryUsable) {
    FUZZ_CHECK(outcome.step == InstallStep::DriverDirectory);
    // The package check, then (past the read-only questions) the query.
    FUZZ_CHECK(std::count_if(rig.log.events.begin(), rig.log.events.end(),
                             [](const std::string& e) { return StartsWith(e, "check "); }) == kCopyCount);
    FUZZ_CHECK(StartsWith(rig.log.events.back(), "GetPrinterDriverDirectory "));
    FUZZ_CHECK(rig.files.copies.empty() && positions.empty());
    CheckNothingAfterFailure(rig);
    return;
  }

  // Every copy goes from the package folder into the driver directory.
  FUZZ_CHECK(!rig.files.copies.empty() && rig.files.copies.size() <= kCopyCount);
  for (std::size_t i = 0; i < rig.files.copies.size(); ++i) {
    const testing::FileCopy& copy = rig.files.copies[i];
    FUZZ_CHECK(StartsWith(copy.destination, directory + "\\"));
    FUZZ_CHECK(StartsWith(copy.source, s.folder + "\\"));
    // Only the last attempt may have failed.
    if (i + 1 < rig.files.copies.size()) FUZZ_CHECK(copy.error == 0);
  }
  FUZZ_CHECK(rig.files.copies[0].source == s.folder + "\\" + std::string(row.moduleBase) + ".DLL");

  if (outcome.step == InstallStep::CopyFile) {
    const testing::FileCopy& failed = rig.files.copies.back();
    FUZZ_CHECK(failed.error != 0 && failed.error == outcome.error);
    FUZZ_CHECK(failed.source == outcome.subject && failed.destination == outcome.destination);
    FUZZ_CHECK(rig.log.events.back() == "copy " + failed.source + " -> " + failed.destination + " failed");
    FUZZ_CHECK(rig.spooler.drivers.empty() && rig.spooler.printers.empty());
    CheckNothingAfterFailure(rig);
    return;
  }
  FUZZ_CHECK(rig.files.copies.size() == kCopyCount && rig.files.copies.back().error == 0);
  if (rig.files.failingCopyIndex && *rig.files.failingCopyIndex < kCopyCount)
    FUZZ_CHECK(rig.files.failingCopyError == 0);

  const std::size_t listBytes = (row.usesPlugin ? PluginDependentFiles() : BaseDependentFiles()).size() +
                                row.moduleBase.size() + 4 + 2;
  if (outcome.step == InstallStep::DriverRecord) {
    FUZZ_CHECK(listBytes > kDependentFilesSize);
    FUZZ_CHECK(outcome.error == kErrorInsufficientBuffer);
    FUZZ_CHECK(rig.spooler.drivers.empty() && rig.spooler.printers.empty());
    FUZZ_CHECK(rig.log.events.back() == "progress 60");
    CheckNothingAfterFailure(rig);
    return;
  }
  FUZZ_CHECK(listBytes <= kDependentFilesSize);
  FUZZ_CHECK(rig.spooler.drivers.size() == 1);
  CheckDriverRecord(rig.spooler.drivers[0], row, s.environment);

  if (outcome.step == InstallStep::AddPrinterDriver) {
    FUZZ_CHECK(rig.spooler.addDriverError != 0 && outcome.error == rig.spooler.addDriverError);
    FUZZ_CHECK(rig.spooler.printers.empty());
    FUZZ_CHECK(StartsWith(rig.log.events.back(), "AddPrinterDriver3 "));
    CheckNothingAfterFailure(rig);
    return;
  }
  FUZZ_CHECK(rig.spooler.addDriverError == 0);
  FUZZ_CHECK(rig.spooler.printers.size() == 1);
  const testing::RecordedPrinter& printer = rig.spooler.printers[0];
  FUZZ_CHECK(printer.pPortName == UpToZero(s.inputs.chosenPort));
  FUZZ_CHECK(printer.pPrinterName == UpToZero(std::string(row.driverName)));
  FUZZ_CHECK(printer.pDriverName == printer.pPrinterName);

  if (outcome.step == InstallStep::AddPrinter) {
    FUZZ_CHECK(rig.spooler.addPrinterError != 0 && rig.spooler.addPrinterError != kErrorPrinterAlreadyExists);
    FUZZ_CHECK(outcome.error == rig.spooler.addPrinterError);
    FUZZ_CHECK(StartsWith(rig.log.events.back(), "AddPrinter2 "));
    CheckNothingAfterFailure(rig);
    return;
  }
  // "Already exists" for a printer the fake spooler does not hold: the
  // rewrite cannot open it.
  if (outcome.step == InstallStep::OpenPrinter) {
    FUZZ_CHECK(rig.spooler.addPrinterError == kErrorPrinterAlreadyExists);
    FUZZ_CHECK(outcome.error != 0);
    CheckNothingAfterFailure(rig);
    return;
  }

  // Completed: everything ran, once, and ended at 100.
  FUZZ_CHECK(outcome.completed);
  FUZZ_CHECK(rig.spooler.addPrinterError == 0);
  FUZZ_CHECK(positions == kMilestones);
  FUZZ_CHECK(rig.system.sleeps == std::vector<std::uint32_t>{500});
  FUZZ_CHECK(rig.spooler.closedPrinters.size() == 1u);
  FUZZ_CHECK(rig.registry.openKeys.empty());
  FUZZ_CHECK(rig.registry.opens.size() == rig.registry.closes.size() + [&] {
    std::size_t refused = 0;
    for (const auto& open : rig.registry.opens) refused += open.opened ? 0 : 1;
    return refused;
  }());

  const bool writesDevice =
      s.inputs.setDefaultPrinter && rig.registry.refusedRoots.count(RegistryRoot::CurrentUser) == 0;
  const bool writesSerial =
      s.inputs.portIndex >= 3 && rig.registry.refusedRoots.count(RegistryRoot::LocalMachine) == 0;
  FUZZ_CHECK(rig.registry.sets.size() == (writesDevice ? 1u : 0u) + (writesSerial ? 1u : 0u));
  for (const testing::RegistrySet& set : rig.registry.sets) {
    if (set.name == kDeviceValueName) {
      FUZZ_CHECK(set.root == RegistryRoot::CurrentUser && set.path == kWindowsKeyPath);
      FUZZ_CHECK(set.text == std::string(row.driverName) + ",winspool," + s.inputs.chosenPort);
    } else {
      FUZZ_CHECK(set.root == RegistryRoot::LocalMachine && set.path == kPortsKeyPath);
      FUZZ_CHECK(set.name == PortValueName(s.inputs.portIndex));
      FUZZ_CHECK(std::count(set.text.begin(), set.text.end(), ',') == 4);
    }
  }
  // A refused key is a setting not written, like a refused value.
  const bool wantsDevice = s.inputs.setDefaultPrinter;
  const bool wantsSerial = s.inputs.portIndex >= 3;
  const int expectedFailures = (wantsDevice && (!writesDevice || s.deviceFails) ? 1 : 0) +
                               (wantsSerial && (!writesSerial || s.serialFails) ? 1 : 0);
  FUZZ_CHECK(rig.notifier.registryWriteFailures == expectedFailures);
  FUZZ_CHECK(outcome.settingsNotWritten.size() == static_cast<std::size_t>(expectedFailures));
}

}  // namespace
}  // namespace oriel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  oriel::fuzz::FuzzInput in(data, size);
  oriel::fuzz::Run(in);
  return 0;
}
