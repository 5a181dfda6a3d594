// The port page's list from whatever the spooler answers: any record set,
// nulls, odd names, lying sizes and counts, lists that change between calls.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pages/logic/port_rows.h"
#include "tests/fuzz/fuzz_enumeration.h"

namespace oriel::fuzz {
namespace {

using testing::FakePort;

constexpr std::size_t kMaxPorts = 700;  // enough to cross the 256-row capacity

FakePort ReadPort(FuzzInput& in) {
  static const std::vector<std::string> kNamePrefixes{"LPT1", "COM1", "FILE", "LPT1:", "COM1:", "lpt1", "COM10:"};
  static const std::vector<std::string> kOtherPrefixes{"Local Port", "Standard TCP/IP Port"};
  FakePort port;
  port.name = ReadFakeText(in, kNamePrefixes);
  port.description = ReadFakeText(in, kOtherPrefixes);
  port.monitor = ReadFakeText(in, kOtherPrefixes);
  port.type = in.Byte();
  return port;
}

// The last LPT1, else the last COM1, else the last FILE row; first four bytes,
// case-sensitive.
int ExpectedPreselection(const std::vector<PortRow>& rows) {
  int lpt1 = -1, com1 = -1, file = -1;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::string head = rows[i].name.substr(0, 4);
    if (head == "LPT1") lpt1 = static_cast<int>(i);
    if (head == "COM1") com1 = static_cast<int>(i);
    if (head == "FILE") file = static_cast<int>(i);
  }
  return lpt1 >= 0 ? lpt1 : com1 >= 0 ? com1 : file;
}

void CheckListing(const PortListing& listing) {
  FUZZ_CHECK(listing.rows.size() <= static_cast<std::size_t>(kMaxListedPorts));
  FUZZ_CHECK(listing.preselected >= -1 && listing.preselected < static_cast<int>(listing.rows.size()));
  if (listing.preselected >= 0) {
    const std::string head = listing.rows[listing.preselected].name.substr(0, 4);
    FUZZ_CHECK(head == "LPT1" || head == "COM1" || head == "FILE");
  }
  FUZZ_CHECK(listing.preselected == ExpectedPreselection(listing.rows));
}

void ListThroughSpooler(FuzzInput& in) {
  RecordingSpooler spooler;
  DebugLines system;
  const std::function<FakePort(FuzzInput&)> read = ReadPort;
  spooler.ports.entries = ReadEntries<FakePort>(in, read, kMaxPorts);
  ReadKnobs<FakePort>(in, spooler.ports, read);

  const PortListing listing = ListPorts(spooler, system);
  CheckListing(listing);

  FUZZ_CHECK(system.debugLines.size() == listing.rows.size());
  for (std::size_t i = 0; i < listing.rows.size(); ++i) FUZZ_CHECK(system.debugLines[i] == listing.rows[i].name + "\n");

  const int used = CheckProtocol(spooler.portCalls);
  if (used < 0) {
    FUZZ_CHECK(listing.rows.empty() && listing.preselected == -1);
    return;
  }
  const auto& call = spooler.portCalls[used];
  const std::uint32_t count = UsableCount<PortInfo2>(call);
  FUZZ_CHECK(listing.rows.size() == std::min<std::size_t>(count, kMaxListedPorts));
  // Rows the spooler really wrote read back as written, up to the first zero;
  // rows a lying count adds beyond them have no checkable text.
  const std::size_t written = std::min(listing.rows.size(), call.entriesBefore.size());
  for (std::size_t i = 0; i < written; ++i) {
    const FakePort& port = call.entriesBefore[i];
    FUZZ_CHECK(listing.rows[i].name == UpToZero(port.name.value_or(std::string())));
    FUZZ_CHECK(listing.rows[i].description == UpToZero(port.description.value_or(std::string())));
  }
}

void BuildDirectly(FuzzInput& in) {
  const std::function<FakePort(FuzzInput&)> read = ReadPort;
  std::vector<PortRow> ports;
  for (const FakePort& port : ReadEntries<FakePort>(in, read, kMaxPorts))
    ports.push_back({port.name.value_or(std::string()), port.description.value_or(std::string())});

  const PortListing listing = BuildPortListing(ports);
  CheckListing(listing);
  FUZZ_CHECK(listing.rows.size() == std::min<std::size_t>(ports.size(), kMaxListedPorts));
  for (std::size_t i = 0; i < listing.rows.size(); ++i) {
    FUZZ_CHECK(listing.rows[i].name == ports[i].name);
    FUZZ_CHECK(listing.rows[i].description == ports[i].description);
  }
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
