#include "pages/logic/port_rows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/enumeration.h"
#include "pages/logic/spooler_messages.h"
#include "pages/logic/spooler_start.h"
#include "tests/support/fake_enumeration.h"
#include "tests/support/fakes.h"

namespace oriel {
namespace {

using testing::FakePort;
using testing::FakePortEnumeration;
using testing::NumberedPorts;
using testing::PortsNamed;


class ListPortsTest : public ::testing::Test {
 protected:
  PortListing List() { return ListPorts(spooler, system); }
  PortListing ListNamed(const std::vector<std::string>& names) {
    spooler.ports.entries = PortsNamed(names);
    return List();
  }

  testing::FakeSpooler spooler;
  testing::FakeSystem system;
};

std::vector<std::string> Names(const PortListing& listing) {
  std::vector<std::string> names;
  for (const PortRow& row : listing.rows) names.push_back(row.name);
  return names;
}

// ---- the two calls ----

TEST_F(ListPortsTest, AsksForTheSizeThenPassesExactlyThatBuffer) {
  const PortListing listing = ListNamed({"COM1:", "LPT1:", "FILE:"});
  const std::uint32_t needed = spooler.ports.TrueNeededSize();
  EXPECT_EQ(spooler.ports.callSizes, (std::vector<std::uint32_t>{0, needed}));
  EXPECT_EQ(spooler.ports.callHadBuffer, (std::vector<bool>{false, true}));
  ASSERT_EQ(listing.rows.size(), 3u);
  EXPECT_EQ(listing.rows[1].name, "LPT1:");
  EXPECT_EQ(listing.rows[1].description, "LPT1: port");
  EXPECT_EQ(system.debugLines, (std::vector<std::string>{"COM1:\n", "LPT1:\n", "FILE:\n"}));
}

TEST_F(ListPortsTest, NeededSizeZeroGivesAnEmptyList) {
  spooler.ports.entries = PortsNamed({"LPT1:", "COM1:"});
  spooler.ports.neededOverride = 0;
  const PortListing listing = List();
  EXPECT_TRUE(listing.rows.empty());
  EXPECT_EQ(listing.error, 0u) << "no ports is no failure";
  EXPECT_EQ(listing.preselected, -1);
  EXPECT_TRUE(system.debugLines.empty());
  EXPECT_EQ(spooler.ports.CallCount(), 1u);
}

TEST_F(ListPortsTest, FailingSecondCallGivesAnEmptyList) {
  // The fake still writes the records into the buffer; only ok=false says no.
  spooler.ports.entries = PortsNamed({"LPT1:", "COM1:"});
  spooler.ports.FailSecondCall();
  const PortListing listing = List();
  EXPECT_TRUE(listing.rows.empty());
  EXPECT_EQ(listing.preselected, -1);
  EXPECT_TRUE(system.debugLines.empty());
  EXPECT_EQ(listing.error, testing::kErrorRpcServerUnavailable);
}

// A stopped spooler (1722) or one that refuses access fails the size query
// itself; the page names that error instead of showing a list to choose from.
TEST_F(ListPortsTest, RefusedSizeQueryGivesItsErrorAndNoSecondCall) {
  spooler.ports.entries = PortsNamed({"LPT1:"});
  spooler.ports.failingCalls[0] = testing::kErrorRpcServerUnavailable;
  const PortListing listing = List();
  EXPECT_TRUE(listing.rows.empty());
  EXPECT_EQ(listing.error, testing::kErrorRpcServerUnavailable);
  EXPECT_EQ(spooler.ports.CallCount(), 1u);
  spooler.ports.failingCalls.clear();
  const PortListing refilled = List();  // after Create Port, with the spooler back
  EXPECT_EQ(refilled.error, 0u);
  EXPECT_EQ(refilled.rows.size(), 1u);
}

// A spooler just started may report running before it answers; one that
// still does not is said to be started, not offered to be started again.
TEST_F(ListPortsTest, AfterAStartAskedAgainWhileTheSpoolerDoesNotAnswer) {
  spooler.ports.entries = PortsNamed({"LPT1:"});
  spooler.ports.failingCalls = {{0, 1722}, {1, 1726}};
  EXPECT_EQ(Names(ListPortsAfterStart(spooler, system)), (std::vector<std::string>{"LPT1:"}));
  EXPECT_EQ(system.sleeps, (std::vector<std::uint32_t>(2, kListPauseAfterStartMs)));
  for (std::size_t call = 0; call < 100; ++call) spooler.ports.failingCalls[call] = 1722;
  system.sleeps.clear();
  EXPECT_EQ(ListPortsAfterStart(spooler, system).error, 1722u);
  EXPECT_EQ(system.sleeps.size(), static_cast<std::size_t>(kListTriesAfterStart - 1));
  const auto text = [](std::uint32_t error) { return "text of " + std::to_string(error); };
  EXPECT_EQ(PortListFailureMessage(1722, true, text),
            "The Print Spooler service was started but does not answer yet, so the ports cannot be listed: "
            "EnumPortsA failed.\n\nSystem error 1722: text of 1722\n\nWait a moment, then press Back and Next to "
            "open this page again.");
  EXPECT_EQ(PortListFailureMessage(1722, false, text), ListFailureMessage("port list", "EnumPortsA", 1722, text));
  EXPECT_EQ(PortListFailureMessage(5, true, text), ListFailureMessage("port list", "EnumPortsA", 5, text));
}

TEST_F(ListPortsTest, PortsAddedBetweenTheCallsAreFetchedWithTheNewSize) {
  spooler.ports.entries = PortsNamed({"COM1:", "FILE:"});
  const std::uint32_t before = spooler.ports.TrueNeededSize();
  spooler.ports.changes = {[](std::vector<FakePort>& ports) {
    ports.push_back(PortsNamed({"LPT1:"})[0]);
  }};
  const PortListing listing = List();
  const std::uint32_t after = spooler.ports.TrueNeededSize();

  EXPECT_GT(after, before);
  EXPECT_EQ(spooler.ports.callSizes, (std::vector<std::uint32_t>{0, before, after}));
  EXPECT_EQ(Names(listing), (std::vector<std::string>{"COM1:", "FILE:", "LPT1:"}));
  EXPECT_EQ(listing.preselected, 2);
  EXPECT_EQ(system.debugLines.size(), 3u);
}

TEST_F(ListPortsTest, ListThatKeepsGrowingIsGivenUp) {
  // and says so: 122 after the last try.
  spooler.ports.entries = PortsNamed({"LPT1:"});
  for (int i = 0; i < 10; ++i)
    spooler.ports.changes.push_back(
        [i](std::vector<FakePort>& ports) { ports.push_back(PortsNamed({"NEW" + std::to_string(i)})[0]); });
  const PortListing listing = List();
  EXPECT_TRUE(listing.rows.empty());
  EXPECT_EQ(listing.preselected, -1);
  EXPECT_TRUE(system.debugLines.empty());
  EXPECT_EQ(spooler.ports.CallCount(), 1u + kEnumerationTries);
  EXPECT_EQ(listing.error, kErrorInsufficientBuffer);
}

TEST_F(ListPortsTest, LyingCountIsClampedToWhatTheBufferHolds) {
  spooler.ports.entries = PortsNamed({"COM1:", "LPT1:", "FILE:"});
  spooler.ports.reportedCount = 1000;
  const PortListing listing = List();
  // The text area behind the records is read as records too, but never past
  // the buffer (the sanitizer build checks that).
  const std::size_t fits = spooler.ports.TrueNeededSize() / sizeof(PortInfo2);
  ASSERT_EQ(listing.rows.size(), fits);
  EXPECT_EQ(listing.rows[0].name, "COM1:");
  EXPECT_EQ(listing.rows[1].name, "LPT1:");
  EXPECT_EQ(listing.rows[2].name, "FILE:");
  EXPECT_EQ(system.debugLines.size(), fits);
}

// ---- capacity ----

class PortCountTest : public ListPortsTest, public ::testing::WithParamInterface<int> {};

TEST_P(PortCountTest, ListsAtMost256) {
  const int count = GetParam();
  spooler.ports.entries = NumberedPorts(count);
  const PortListing listing = List();
  const int listed = std::min(count, 256);
  ASSERT_EQ(listing.rows.size(), static_cast<std::size_t>(listed));
  ASSERT_EQ(system.debugLines.size(), static_cast<std::size_t>(listed));
  for (int i = 0; i < listed; ++i) {
    const std::string name = "PORT" + std::to_string(i) + ":";
    EXPECT_EQ(listing.rows[i].name, name);
    EXPECT_EQ(listing.rows[i].description, name + " port");
    EXPECT_EQ(system.debugLines[i], name + "\n");
  }
  EXPECT_EQ(listing.preselected, -1);
}

INSTANTIATE_TEST_SUITE_P(Counts, PortCountTest, ::testing::Values(0, 1, 255, 256, 257, 300));

TEST_F(ListPortsTest, PortsPastTheCapacityAreNoCandidates) {
  spooler.ports.entries = NumberedPorts(300);
  spooler.ports.entries[270] = PortsNamed({"COM1:"})[0];
  const PortListing listing = List();
  EXPECT_EQ(listing.rows.size(), 256u);
  EXPECT_EQ(listing.preselected, -1);
  for (const std::string& line : system.debugLines) EXPECT_NE(line, "COM1:\n");

  spooler.ports.entries[255] = PortsNamed({"FILE:"})[0];
  EXPECT_EQ(List().preselected, 255);
}

// ---- texts ----

TEST_F(ListPortsTest, NullTextsShowAsEmpty) {
  auto ports = PortsNamed({"A", "B", "C", "LPT1:"});
  ports[0].name.reset();
  ports[1].description.reset();
  ports[2].name.reset();
  ports[2].monitor.reset();
  ports[2].description.reset();
  ports[3].monitor.reset();
  spooler.ports.entries = ports;
  const PortListing listing = List();

  ASSERT_EQ(listing.rows.size(), 4u);
  EXPECT_EQ(listing.rows[0].name, "");
  EXPECT_EQ(listing.rows[0].description, "A port");
  EXPECT_EQ(listing.rows[1].name, "B");
  EXPECT_EQ(listing.rows[1].description, "");
  EXPECT_EQ(listing.rows[2].name, "");
  EXPECT_EQ(listing.rows[2].description, "");
  EXPECT_EQ(listing.rows[3].name, "LPT1:");
  EXPECT_EQ(listing.rows[3].description, "LPT1: port");
  EXPECT_EQ(listing.preselected, 3);
  EXPECT_EQ(system.debugLines, (std::vector<std::string>{"\n", "B\n", "\n", "LPT1:\n"}));
}

TEST_F(ListPortsTest, NamesOfAnyLengthAndByteAreKeptWhole) {
  std::vector<std::string> names;
  for (std::size_t length : {0u, 1u, 4u, 259u, 260u, 10000u}) names.push_back(std::string(length, 'N'));
  names.push_back("\xC4\xA3\xD2\xFE\xB4\xF2\xD3\xA1\x80\xFF");
  names.push_back("COM1\xB1\xB2");
  names.push_back("LPT\xB1:");
  const PortListing listing = ListNamed(names);

  ASSERT_EQ(listing.rows.size(), names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(listing.rows[i].name, names[i]) << "row " << i;
    EXPECT_EQ(listing.rows[i].description, names[i] + " port") << "row " << i;
    EXPECT_EQ(system.debugLines[i], names[i] + "\n") << "row " << i;
  }
  // Four bytes decide; what follows them does not matter.
  EXPECT_EQ(listing.preselected, 7);
}

// ---- preselection ----

TEST(BuildPortListing, Preselection) {
  struct Case {
    std::vector<std::string> names;
    int expected;
  };
  const Case cases[] = {
      {{"LPT1:", "COM1:"}, 0},
      {{"COM1:", "LPT1:"}, 1},
      {{"FILE:", "COM1:", "LPT1:", "COM2:"}, 2},
      {{"FILE:", "COM1:"}, 1},
      {{"COM2:", "FILE:", "XPS:"}, 1},
      {{"LPT1", "FILE"}, 0},
      {{"lpt1:", "Lpt1:", "com1:", "file:"}, -1},
      {{"lpt1:", "COM1:"}, 1},
      {{"LPT", "COM", "FIL", "L", ""}, -1},
      {{"LPT2:", "COM2:", "USB001", "Ne00:"}, -1},
      {{"LPT1:", "LPT1.DOT4", "COM1:"}, 1},
      {{}, -1},
  };
  for (const Case& c : cases) {
    std::vector<PortRow> rows;
    for (const std::string& name : c.names) rows.push_back({name, "d"});
    const PortListing listing = BuildPortListing(rows);
    EXPECT_EQ(listing.rows.size(), c.names.size());
    EXPECT_EQ(listing.preselected, c.expected) << ::testing::PrintToString(c.names);
  }
}

TEST_F(ListPortsTest, LastCom1PortWinsWhenNoLpt1) {
  std::vector<std::string> names;
  for (int i = 0; i < 14; ++i) names.push_back("NUL" + std::to_string(i) + ":");
  names[3] = "COM1:";
  names[12] = "COM10:";
  EXPECT_EQ(ListNamed(names).preselected, 12);
  names[12] = "COM2:";
  EXPECT_EQ(ListNamed(names).preselected, 3);
}

// ---- the buffer reader against hand-made answers ----

TEST(EnumerationBuffer, TextsOutsideOrUnterminatedCountAsNull) {
  std::vector<std::byte> bytes(16, std::byte{'x'});
  bytes[3] = std::byte{0};
  const std::byte* base = bytes.data();
  const char* inside = reinterpret_cast<const char*>(base);
  const char* tail = reinterpret_cast<const char*>(base) + 10;  // runs to the end unterminated
  const char* end = reinterpret_cast<const char*>(base) + 16;
  char outsideText[] = "outside";
  const EnumerationBuffer buffer(std::move(bytes), 0, sizeof(PortInfo2));

  EXPECT_EQ(buffer.TextAt(inside), "xxx");
  EXPECT_EQ(buffer.TextAt(inside + 3), "");
  EXPECT_EQ(buffer.TextAt(nullptr), std::nullopt);
  EXPECT_EQ(buffer.TextAt(tail), std::nullopt);
  EXPECT_EQ(buffer.TextAt(end), std::nullopt);
  const auto before = reinterpret_cast<const char*>(reinterpret_cast<std::uintptr_t>(inside) - 1);
  EXPECT_EQ(buffer.TextAt(before), std::nullopt);
  EXPECT_EQ(buffer.TextAt(outsideText), std::nullopt);
}

TEST_F(ListPortsTest, PointersLeavingTheBufferGiveEmptyTexts) {
  // A spooler that answers with one record whose texts lie elsewhere or run off
  // the end of the buffer.
  static const char kElsewhere[] = "LPT1:";
  class Wild : public testing::FakeSpooler {
   public:
    EnumAnswer EnumPorts2(std::byte* buffer, std::uint32_t size) override {
      constexpr std::uint32_t kNeeded = sizeof(PortInfo2) + 4;
      if (size < kNeeded) return {false, kNeeded, 0, 122};
      PortInfo2 record{};
      record.pPortName = kElsewhere;
      record.pDescription = reinterpret_cast<const char*>(buffer) + sizeof(PortInfo2);
      std::memcpy(buffer, &record, sizeof record);
      std::memcpy(buffer + sizeof(PortInfo2), "COM1", 4);  // no zero byte
      return {true, kNeeded, 1, 0};
    }
  } wild;
  const PortListing listing = ListPorts(wild, system);
  ASSERT_EQ(listing.rows.size(), 1u);
  EXPECT_EQ(listing.rows[0].name, "");
  EXPECT_EQ(listing.rows[0].description, "");
  EXPECT_EQ(listing.preselected, -1);
}

TEST(Enumerate, RefusedSizeQueryWithoutSizeGivesNothing) {
  int calls = 0;
  const EnumerationBuffer buffer = Enumerate<PortInfo2>([&](std::byte*, std::uint32_t) {
    ++calls;
    return EnumAnswer{false, 0, 0, 1722};
  });
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.error(), 1722u);
  EXPECT_EQ(calls, 1);
}

TEST(Enumerate, AbsurdSizeIsNotAllocated) {
  int calls = 0;
  const EnumerationBuffer buffer = Enumerate<PortInfo2>([&](std::byte*, std::uint32_t) {
    ++calls;
    return EnumAnswer{false, 0xFFFFFFF0u, 0, 122};
  });
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(buffer.error(), kErrorNotEnoughMemory);
  EXPECT_EQ(calls, 1);
}

// The spooler's refusals as the port page, the port creation dialog and the
// settings page show them.
TEST(SpoolerMessages, NameTheListOrMonitorTheCallAndTheSystemsText) {
  const auto text = [](std::uint32_t error) { return "text of " + std::to_string(error); };
  EXPECT_EQ(ListFailureMessage("port list", "EnumPortsA", 1722, text),
            "The port list could not be read: EnumPortsA failed.\n\nSystem error 1722: text of 1722\n\nThe Print "
            "Spooler service is not running: start it (where it is disabled, set its startup type to Automatic "
            "first, in Services), then run Oriel again.");
  EXPECT_EQ(ListFailureMessage("list of port types", "EnumMonitorsA", 87, text),
            "The list of port types could not be read: EnumMonitorsA failed.\n\nSystem error 87: text of 87");
  // A cancelled monitor dialog and a success say nothing; 50 is a monitor
  // without a UI for this caller.
  EXPECT_EQ(AddPortFailureMessage("Local Port", 0, text), "");
  EXPECT_EQ(AddPortFailureMessage("Local Port", kErrorCancelled, text), "");
  EXPECT_EQ(AddPortFailureMessage("Standard TCP/IP Port", 50, text),
            "The port type \"Standard TCP/IP Port\" did not add a port: AddPortA failed.\n\nSystem error 50: "
            "text of 50");
  EXPECT_EQ(ConfigurePortFailureMessage("COM1:", 0, text), "");
  EXPECT_EQ(ConfigurePortFailureMessage("LPT1:", kErrorCancelled, text), "");
  EXPECT_EQ(ConfigurePortFailureMessage("COM1:", 5, text),
            "The port \"COM1:\" was not configured: ConfigurePortA failed.\n\nSystem error 5: text of 5\n\n"
            "Windows refused access. Oriel needs administrator rights (on Windows XP, run it from an "
            "administrator's account). Where it has them, this is commonly a policy set by your administrator, "
            "security software, or a file held open by another program: have the refusal lifted or close those "
            "programs, then run Oriel again.");
  // The hints that name a package or a driver belong to installations only.
  EXPECT_EQ(AddPortFailureMessage("Local Port", 1797, text),
            "The port type \"Local Port\" did not add a port: AddPortA failed.\n\nSystem error 1797: text of 1797");
  EXPECT_EQ(ListFailureMessage("port list", "EnumPortsA", 216, text),
            "The port list could not be read: EnumPortsA failed.\n\nSystem error 216: text of 216");
  // An exception outside Install (refilling the list after Create Port) was
  // reported where it happened; the page did open.
  EXPECT_EQ(PortPageEndMessage(std::nullopt, true), "");
  EXPECT_EQ(PortPageEndMessage(std::nullopt, false),
            "The printer was not installed: the port selection page could not be opened. Close other programs, "
            "then run Oriel again; if this message comes back, please report it.");
  EXPECT_EQ(PortPageEndMessage(std::string("bad_alloc"), false),
            "The printer was not installed: the installation stopped on an internal error. This is a fault in "
            "Oriel, not in this PC: please report this message (Ctrl+C copies it).\n\nbad_alloc");
  EXPECT_EQ(PortPageEndMessage(std::string(), false),
            "The printer was not installed: the installation stopped on an internal error. This is a fault in "
            "Oriel, not in this PC: please report this message (Ctrl+C copies it).");
}

// A stopped spooler is started; a disabled one is set to start automatically
// first, and back to Disabled when it does not come up; a refusal names the
// call that failed; a service that stops again is not waited for; the
// message tells what became of the service.
TEST(SpoolerStart, StoppedDisabledOrRefusing) {
  using Kind = SpoolerStartFailure::Kind;
  constexpr std::uint32_t pending = kServiceStartPending;
  const struct {
    const char* name;
    ServiceStartKind kind;
    std::uint32_t state;
    std::map<std::string, ServiceCallResult> refusals;
    std::vector<ServiceStatus> statuses;
    std::vector<std::string> calls;
    std::optional<Kind> failure;
    std::string failedCall;
    std::uint32_t error;
    std::string says = {};  // words the failure's message holds
  } cases[] = {
      {"stopped", ServiceStartKind::Manual, kServiceStopped, {},
       {{pending, 0, 0, 1, 2000}, {pending, 0, 0, 2, 2000}, {kServiceRunning}},
       {"service Start", "service QueryStatus", "service QueryStatus", "service QueryStatus"}, std::nullopt, "", 0},
      {"disabled", ServiceStartKind::Disabled, kServiceStopped, {}, {},
       {"service SetAutomatic", "service Start", "service QueryStatus"}, std::nullopt, "", 0},
      {"policy keeps it disabled", ServiceStartKind::Disabled, kServiceStopped, {{"SetAutomatic", {5}}}, {},
       {"service SetAutomatic refused 5 by ChangeServiceConfigW"}, Kind::Refused, "ChangeServiceConfigW", 5},
      {"refusing", ServiceStartKind::Automatic, kServiceStopped, {{"Start", {1069}}}, {},
       {"service Start refused 1069 by StartServiceW"}, Kind::Refused, "StartServiceW", 1069},
      {"no start right", ServiceStartKind::Manual, kServiceStopped, {{"Start", {5, "OpenServiceW"}}}, {},
       {"service Start refused 5 by OpenServiceW"}, Kind::Refused, "OpenServiceW", 5},
      {"running meanwhile", ServiceStartKind::Manual, kServiceRunning, {}, {},
       {"service Start refused 1056 by StartServiceW", "service QueryStatus"}, std::nullopt, "", 0},
      {"disabled, refusing, disabled again", ServiceStartKind::Disabled, kServiceStopped, {{"Start", {1069}}}, {},
       {"service SetAutomatic", "service Start refused 1069 by StartServiceW", "service SetDisabled"},
       Kind::Refused, "StartServiceW", 1069},
      {"stops again", ServiceStartKind::Manual, kServiceStopped, {},
       {{pending, 0, 0, 1, 30000}, {kServiceStopped, 1067}},
       {"service Start", "service QueryStatus", "service QueryStatus"}, Kind::StoppedAgain, "", 1067},
      {"stops again with its own code", ServiceStartKind::Manual, kServiceStopped, {},
       {{kServiceStopped, 1066, 42}}, {"service Start", "service QueryStatus"}, Kind::StoppedAgain, "", 42},
      {"stops again without an error", ServiceStartKind::Manual, kServiceStopped, {}, {{kServiceStopped}},
       {"service Start", "service QueryStatus"}, Kind::StoppedAgain, "", 0, ", without reporting an error."},
      // Set Disabled, it starts all the same: only a stop would end it.
      {"disabled, still starting", ServiceStartKind::Disabled, kServiceStopped, {}, {{pending, 0, 0, 1, 1000}},
       {"service SetAutomatic", "service Start", "service QueryStatus", "service QueryStatus", "service QueryStatus",
        "service SetDisabled"},
       Kind::NotRunning, "", 0, "The start under way may still finish"},
      // A stop is waited on for its exit code; at the cap nothing is starting.
      {"disabled, stopping at the cap", ServiceStartKind::Disabled, kServiceStopped, {},
       {{kServiceStopPending, 0, 0, 1, 100000}},
       {"service SetAutomatic", "service Start", "service QueryStatus", "service QueryStatus", "service QueryStatus",
        "service SetDisabled"},
       Kind::NotRunning, "", 0, "was set back to Disabled, as it was before."},
      // Not known to be disabled: started as it is, never set to start
      // automatically.
      {"its start type unread", ServiceStartKind::Manual, kServiceStopped, {{"QueryStartKind", {5}}}, {},
       {"service Start", "service QueryStatus"}, std::nullopt, "", 0},
      {"disabled, its state unread", ServiceStartKind::Disabled, kServiceStopped, {{"QueryStatus", {5}}}, {},
       {"service SetAutomatic", "service Start", "service QueryStatus refused 5 by QueryServiceStatusEx",
        "service SetDisabled"},
       Kind::Refused, "QueryServiceStatusEx", 5, "was started, but how its start goes could not be read"},
      {"stopping on its way", ServiceStartKind::Manual, kServiceStopped, {},
       {{pending, 0, 0, 4, 3000}, {kServiceStopPending, 0, 0, 1, 0}, {kServiceStopPending, 0, 0, 1, 0},
        {kServiceStopPending, 0, 0, 1, 0}, {kServiceStopped, 1067}},
       {"service Start", "service QueryStatus", "service QueryStatus", "service QueryStatus", "service QueryStatus",
        "service QueryStatus"},
       Kind::StoppedAgain, "", 1067},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    testing::EventLog log;
    testing::FakeSpoolerService service(&log);
    testing::FakeSystem system;
    service.startKind = c.kind;
    service.state = c.state;
    service.refusals = c.refusals;
    service.statusesAfterStart = c.statuses;
    const SpoolerStartOffer offer = OfferSpoolerStart(service);
    EXPECT_EQ(offer.question,
              StartSpoolerQuestion(c.kind == ServiceStartKind::Disabled && !c.refusals.contains("QueryStartKind")));
    log.events.clear();  // the start type's query
    const auto failure = StartSpooler(service, system, offer.disabled);
    EXPECT_EQ(log.events, c.calls);
    ASSERT_EQ(failure ? std::optional(failure->kind) : std::nullopt, c.failure);
    if (!failure) continue;
    EXPECT_EQ(failure->call, c.failedCall);
    EXPECT_EQ(failure->error, c.error);
    EXPECT_EQ(failure->serviceSpecific, c.error == 42);
    EXPECT_EQ(service.startKind, c.kind);
    EXPECT_NE(SpoolerStartFailureMessage(*failure, [](std::uint32_t) { return "text"; }).find(c.says),
              std::string::npos);
  }

  // The session ends while the start is waited on: a disabled spooler is
  // Disabled again before WM_ENDSESSION is answered, any other keeps its
  // start type, and the wait ends.
  for (const ServiceStartKind kind :
       {ServiceStartKind::Disabled, ServiceStartKind::Manual, ServiceStartKind::Automatic}) {
    SCOPED_TRACE(static_cast<int>(kind));
    testing::EventLog log;
    testing::FakeSpoolerService service(&log);
    testing::FakeSystem system;
    service.startKind = kind;
    service.statusesAfterStart = {{pending, 0, 0, 1, 30000}};
    const bool disabled = kind == ServiceStartKind::Disabled;
    SpoolerStart start(service, system, disabled);
    bool ended = false;
    service.meanwhile = [&](const std::string& method) {
      if (method != "QueryStatus" || std::exchange(ended, true)) return;
      start.SessionEnding();
      EXPECT_EQ(service.startKind, kind);
    };
    const auto failure = start.Run();
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->kind, Kind::SessionEnding);
    const std::vector<std::string> calls =
        disabled ? std::vector<std::string>{"service SetAutomatic", "service Start", "service SetDisabled",
                                            "service QueryStatus"}
                 : std::vector<std::string>{"service Start", "service QueryStatus"};
    EXPECT_EQ(log.events, calls);
  }

  // Paced by the service's wait hint, a tenth of it, 1 s to 10 s; given up
  // when the checkpoint stands still for the hint, or at the cap however it
  // advances.
  const struct {
    const char* name;
    std::vector<ServiceStatus> statuses;
    std::vector<std::uint32_t> sleeps;
    std::optional<bool> stalled;
  } pacings[] = {
      {"advancing", {{pending, 0, 0, 1, 20000}, {pending, 0, 0, 2, 20000}, {kServiceRunning}}, {2000, 2000},
       std::nullopt},
      {"standing still", {{pending, 0, 0, 1, 3000}}, {1000, 1000, 1000, 1000}, true},
      {"advancing, then standing still", {{pending, 0, 0, 1, 3000}, {pending, 0, 0, 2, 3000}},
       {1000, 1000, 1000, 1000, 1000}, true},
      {"advancing past the cap", {{pending, 0, 0, 1, 200000}, {pending, 0, 0, 2, 200000}, {pending, 0, 0, 3, 200000}},
       {10000, kSpoolerStartWaitMs - 10000}, false},
  };
  for (const auto& c : pacings) {
    SCOPED_TRACE(c.name);
    testing::FakeSpoolerService service;
    testing::FakeSystem system;
    service.statusesAfterStart = c.statuses;
    const auto failure = StartSpooler(service, system, false);
    EXPECT_EQ(system.sleeps, c.sleeps);
    ASSERT_EQ(failure ? std::optional(failure->stalled) : std::nullopt, c.stalled);
    if (failure) EXPECT_EQ(failure->kind, Kind::NotRunning);
  }

  const auto text = [](std::uint32_t error) { return "text of " + std::to_string(error); };
  SpoolerStartFailure refused{Kind::Refused, "OpenServiceW", 5};
  EXPECT_EQ(SpoolerStartFailureMessage(refused, text),
            "The Print Spooler service was not started: OpenServiceW failed.\n\nSystem error 5: text of 5\n\n" +
                ErrorHint(5));
  const std::string crashHint =
      "\n\nA print processor or port monitor that fails to load commonly causes this; Windows' System event log "
      "names the service's error.";
  SpoolerStartFailure stopped{Kind::StoppedAgain, "", 1067};
  stopped.disabledAgain = ServiceCallResult{};
  EXPECT_EQ(SpoolerStartFailureMessage(stopped, text),
            "The Print Spooler service stopped again right after it started.\n\nSystem error 1067: text of 1067" +
                crashHint + "\n\nThe service was set back to Disabled, as it was before.");
  SpoolerStartFailure ownCode{Kind::StoppedAgain, "", 42, true};
  ownCode.disabledAgain = ServiceCallResult{5, "ChangeServiceConfigW"};
  EXPECT_EQ(SpoolerStartFailureMessage(ownCode, text),
            "The Print Spooler service stopped again right after it started, with its own error code 42." + crashHint +
                "\n\nThe service could not be set back to Disabled and now starts automatically: "
                "ChangeServiceConfigW failed.\n\nSystem error 5: text of 5\n\n" + ErrorHint(5));
  SpoolerStartFailure late{Kind::NotRunning};
  late.state = kServiceStartPending;
  EXPECT_EQ(SpoolerStartFailureMessage(late, text),
            "The Print Spooler service was started but did not report running within 15 seconds. Its last "
            "reported state was \"start pending\".");
  EXPECT_TRUE(SpoolerDoesNotAnswer(1722));
  // A spooler stopping, restarting or hung: RPC_S_UNKNOWN_IF, RPC_S_CALL_FAILED_DNE, EPT_S_NOT_REGISTERED.
  for (const std::uint32_t error : {1726u, 1717u, 1727u, 1753u}) EXPECT_TRUE(SpoolerDoesNotAnswer(error)) << error;
  EXPECT_FALSE(SpoolerDoesNotAnswer(5));
  EXPECT_EQ(StartSpoolerQuestion(true),
            "The Print Spooler service is disabled, so the ports cannot be listed and no printer can be installed. "
            "It may have been disabled on purpose, to guard against attacks on the print spooler; printing needs "
            "it, though.\n\nSet the Print Spooler service to start automatically, and start it now?");
}

TEST(Enumerate, InsufficientBufferWithoutGrowthIsNotRetried) {
  // A spooler whose needed size is a lie that no buffer satisfies.
  std::vector<std::uint32_t> sizes;
  const EnumerationBuffer buffer = Enumerate<PortInfo2>([&](std::byte*, std::uint32_t size) {
    sizes.push_back(size);
    return EnumAnswer{false, 64, 0, 122};
  });
  EXPECT_TRUE(buffer.empty());
  EXPECT_EQ(sizes, (std::vector<std::uint32_t>{0, 64}));
}

}  // namespace
}  // namespace oriel
