// The port creation dialog's list from whatever the spooler answers.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pages/logic/monitor_rows.h"
#include "tests/fuzz/fuzz_enumeration.h"

namespace oriel::fuzz {
namespace {

using testing::FakeMonitor;

constexpr std::size_t kMaxMonitors = 400;

FakeMonitor ReadMonitor(FuzzInput& in) {
  static const std::vector<std::string> kPrefixes{"Local Port", "Standard TCP/IP Port", "USB Monitor"};
  return FakeMonitor{ReadFakeText(in, kPrefixes)};
}

void ListThroughSpooler(FuzzInput& in) {
  RecordingSpooler spooler;
  DebugLines system;
  const std::function<FakeMonitor(FuzzInput&)> read = ReadMonitor;
  spooler.monitors.entries = ReadEntries<FakeMonitor>(in, read, kMaxMonitors);
  ReadKnobs<FakeMonitor>(in, spooler.monitors, read);

  const std::vector<std::string> rows = ListMonitors(spooler, system).rows;

  FUZZ_CHECK(system.debugLines.size() == rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) FUZZ_CHECK(system.debugLines[i] == rows[i] + "\n");

  const int used = CheckProtocol(spooler.monitorCalls);
  if (used < 0) {
    FUZZ_CHECK(rows.empty());
    return;
  }
  const auto& call = spooler.monitorCalls[used];
  const std::uint32_t count = UsableCount<MonitorInfo1>(call);
  FUZZ_CHECK(rows.size() <= count);

  // The named records the spooler wrote, in its order; a lying count may add
  // records past them whose texts are not checkable.
  std::vector<std::string> expected;
  const std::size_t written = std::min<std::size_t>(count, call.entriesBefore.size());
  for (std::size_t i = 0; i < written; ++i)
    if (call.entriesBefore[i].name) expected.push_back(UpToZero(*call.entriesBefore[i].name));
  if (count <= call.entriesBefore.size()) {
    FUZZ_CHECK(rows == expected);
  } else {
    FUZZ_CHECK(rows.size() >= expected.size());
    FUZZ_CHECK(std::equal(expected.begin(), expected.end(), rows.begin()));
  }
}

void BuildDirectly(FuzzInput& in) {
  const std::function<FakeMonitor(FuzzInput&)> read = ReadMonitor;
  std::vector<std::optional<std::string>> names;
  for (const FakeMonitor& monitor : ReadEntries<FakeMonitor>(in, read, kMaxMonitors)) names.push_back(monitor.name);

  const std::vector<std::string> rows = BuildMonitorRows(names);
  std::vector<std::string> expected;
  for (const auto& name : names)
    if (name) expected.push_back(*name);
  FUZZ_CHECK(rows == expected);
}

}  // namespace
}  // namespace oriel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  oriel::fuzz::FuzzInput in(data, size);
  if (in.Bool()) {
    oriel::fuzz::BuildDirectly(in);
  } else {
    oriel::fuzz::ListThroughSpooler(in);
  }
  return 0;
}
