#include "catalogue/tables.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace oriel {
namespace {

struct ExpectedRow {
  std::string_view dataFileBase;
  std::string_view driverName;
  bool usesPlugin;
};

const ExpectedRow kExpectedRows[kModelCount] = {
    {"RKT410nocut", "RK-T410(No Cut) Series", false},
    {"RKT410cut", "RK-T410(Cut) Series", false},
    {"RKT420nocut", "RK-T420(No Cut) Series", false},
    {"RKT420cut", "RK-T420(Cut) Series", false},
    {"RKT430", "RK-T430 Series", false},
    {"RKT430E", "RK-T430E Series", true},
    {"RKMT430", "RK-MT430 Series", true},
    {"RKWT430", "RK-WT430 Series", true},
    {"V5YYK", "V-5yyK Series", true},
    {"RKT440", "RK-T440 Series", true},
    {"RKKT410", "RK-KT410 Series", false},
    {"RKKT430", "RK-KT430 Series", true},
    {"RKKT440", "RK-KT440 Series", true},
    {"RKMT440", "RK-MT440 Series", true},
    {"RKWT440", "RK-WT440 Series", true},
};

TEST(ModelCatalogue, EveryRowAsTabled) {
  for (int row = 0; row < kModelCount; ++row) {
    SCOPED_TRACE(row);
    const ModelRow& actual = ModelCatalogueRow(row);
    EXPECT_EQ(actual.moduleBase, "RKT4X");
    EXPECT_EQ(actual.dataFileBase, kExpectedRows[row].dataFileBase);
    EXPECT_EQ(actual.driverName, kExpectedRows[row].driverName);
    EXPECT_EQ(actual.usesPlugin, kExpectedRows[row].usesPlugin);
  }
}

// The GPD file and the printer name must never collide between models, even on
// a file system or spooler that ignores case.
TEST(ModelCatalogue, DataFilesAndDriverNamesDistinctIgnoringCase) {
  auto lower = [](std::string_view text) {
    std::string out(text);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
  };
  std::set<std::string> dataFiles, names;
  for (int row = 0; row < kModelCount; ++row) {
    dataFiles.insert(lower(ModelCatalogueRow(row).dataFileBase));
    names.insert(lower(ModelCatalogueRow(row).driverName));
  }
  EXPECT_EQ(dataFiles.size(), static_cast<std::size_t>(kModelCount));
  EXPECT_EQ(names.size(), static_cast<std::size_t>(kModelCount));
}

std::vector<char> Block(std::string_view text) { return {text.begin(), text.end()}; }
std::vector<char> Block(std::span<const char> bytes) { return {bytes.begin(), bytes.end()}; }

TEST(DependentFileTemplates, BaseIsThirtyEightExactBytes) {
  using namespace std::string_view_literals;
  const auto expected = Block("\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0"sv);
  ASSERT_EQ(expected.size(), 38u);
  EXPECT_EQ(Block(BaseDependentFiles()), expected);
}

TEST(DependentFileTemplates, PluginIsSixtyExactBytesAndExtendsBase) {
  using namespace std::string_view_literals;
  const auto expected = Block("\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0\\RKUNI.ini\0\\RKUNI.dll\0"sv);
  ASSERT_EQ(expected.size(), 60u);
  EXPECT_EQ(Block(PluginDependentFiles()), expected);
  EXPECT_EQ(std::string_view(PluginDependentFiles().data(), 38),
            std::string_view(BaseDependentFiles().data(), 38));
}

TEST(PortValueNames, LptThenCom) {
  const std::vector<std::string_view> expected{"LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "COM3:", "COM4:"};
  ASSERT_EQ(expected.size(), static_cast<std::size_t>(kPortEntryCount));
  for (int i = 0; i < kPortEntryCount; ++i) EXPECT_EQ(PortValueName(i), expected[i]) << i;
}

TEST(SerialTables, EveryEntryInListOrder) {
  const std::vector<std::string_view> baud{"300", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};
  const std::vector<std::string_view> dataBits{"5", "6", "7", "8"};
  const std::vector<std::string_view> stopBits{"1", "1.5", "2"};
  const std::vector<std::string_view> parity{"E", "M", "N", "O", "S"};
  const std::vector<std::string_view> flow{" ", "x", "p"};
  ASSERT_EQ(baud.size(), static_cast<std::size_t>(kBaudRateCount));
  ASSERT_EQ(dataBits.size(), static_cast<std::size_t>(kDataBitsCount));
  ASSERT_EQ(stopBits.size(), static_cast<std::size_t>(kStopBitsCount));
  ASSERT_EQ(parity.size(), static_cast<std::size_t>(kParityCount));
  ASSERT_EQ(flow.size(), static_cast<std::size_t>(kFlowControlCount));
  for (int i = 0; i < kBaudRateCount; ++i) EXPECT_EQ(BaudRateText(i), baud[i]) << i;
  for (int i = 0; i < kDataBitsCount; ++i) EXPECT_EQ(DataBitsText(i), dataBits[i]) << i;
  for (int i = 0; i < kStopBitsCount; ++i) EXPECT_EQ(StopBitsText(i), stopBits[i]) << i;
  for (int i = 0; i < kParityCount; ++i) EXPECT_EQ(ParityLetter(i), parity[i]) << i;
  for (int i = 0; i < kFlowControlCount; ++i) EXPECT_EQ(FlowControlLetter(i), flow[i]) << i;
}

// An empty text here would drop a field from the port value.
TEST(SerialTables, FlowNoneIsOneBlank) {
  EXPECT_EQ(FlowControlLetter(0).size(), 1u);
  EXPECT_EQ(FlowControlLetter(0)[0], ' ');
}

}  // namespace
}  // namespace oriel
