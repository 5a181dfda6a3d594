#include "pages/logic/monitor_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/fake_enumeration.h"
#include "tests/support/fakes.h"

namespace oriel {
namespace {

using testing::FakeMonitor;
using testing::FakeMonitorEnumeration;


class ListMonitorsTest : public ::testing::Test {
 protected:
  std::vector<std::string> List(std::vector<FakeMonitor> entries) {
    spooler.monitors.entries = std::move(entries);
    last = ListMonitors(spooler, system);
    return last.rows;
  }

  MonitorListing last;
  testing::FakeSpooler spooler;
  testing::FakeSystem system;
};

using Rows = std::vector<std::string>;

TEST_F(ListMonitorsTest, ThreeNamedInTheSpoolersOrder) {
  EXPECT_EQ(List({{"Local Port"}, {"Standard TCP/IP Port"}, {"USB Monitor"}}),
            (Rows{"Local Port", "Standard TCP/IP Port", "USB Monitor"}));
  EXPECT_EQ(system.debugLines, (Rows{"Local Port\n", "Standard TCP/IP Port\n", "USB Monitor\n"}));
  EXPECT_EQ(spooler.monitors.callSizes,
            (std::vector<std::uint32_t>{0, spooler.monitors.TrueNeededSize()}));
}

TEST_F(ListMonitorsTest, NamelessMonitorIsPassedOver) {
  EXPECT_EQ(List({{"Local Port"}, {std::nullopt}, {"WSD Port"}}), (Rows{"Local Port", "WSD Port"}));
  EXPECT_EQ(system.debugLines, (Rows{"Local Port\n", "WSD Port\n"}));
}

TEST_F(ListMonitorsTest, EmptyNameIsStillAMonitor) {
  EXPECT_EQ(List({{""}, {"Local Port"}}), (Rows{"", "Local Port"}));
  EXPECT_EQ(system.debugLines.size(), 2u);
}

TEST_F(ListMonitorsTest, NoMonitors) {
  EXPECT_TRUE(List({}).empty());
  EXPECT_TRUE(system.debugLines.empty());
}

TEST_F(ListMonitorsTest, AllNameless) {
  EXPECT_TRUE(List({{std::nullopt}, {std::nullopt}, {std::nullopt}}).empty());
  EXPECT_TRUE(system.debugLines.empty());
}

TEST_F(ListMonitorsTest, FailingSecondCallGivesNoRows) {
  spooler.monitors.FailSecondCall();
  EXPECT_TRUE(List({{"Local Port"}}).empty());
  EXPECT_TRUE(system.debugLines.empty());
  EXPECT_EQ(last.error, testing::kErrorRpcServerUnavailable);
}

// A stopped spooler refuses the size query itself; the dialog names the error.
TEST_F(ListMonitorsTest, RefusedSizeQueryGivesItsError) {
  spooler.monitors.failingCalls[0] = testing::kErrorRpcServerUnavailable;
  EXPECT_TRUE(List({{"Local Port"}}).empty());
  EXPECT_EQ(last.error, testing::kErrorRpcServerUnavailable);
  EXPECT_EQ(spooler.monitors.CallCount(), 1u);
  spooler.monitors.failingCalls.clear();
  EXPECT_EQ(List({{"Local Port"}}), (Rows{"Local Port"}));
  EXPECT_EQ(last.error, 0u);
}

TEST_F(ListMonitorsTest, MonitorInstalledBetweenTheCallsIsListed) {
  spooler.monitors.changes = {
      [](std::vector<FakeMonitor>& monitors) { monitors.push_back({"Standard TCP/IP Port"}); }};
  EXPECT_EQ(List({{"Local Port"}}), (Rows{"Local Port", "Standard TCP/IP Port"}));
  EXPECT_EQ(spooler.monitors.CallCount(), 3u);
}

TEST(BuildMonitorRows, KeepsOrderAndSkipsNulls) {
  const std::vector<std::optional<std::string>> names = {std::nullopt, "a", std::nullopt, "b", "c",
                                                         std::nullopt};
  EXPECT_EQ(BuildMonitorRows(names), (Rows{"a", "b", "c"}));
}

}  // namespace
}  // namespace oriel
