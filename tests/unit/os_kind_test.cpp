#include "pages/logic/os_kind.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/library_loading.h"
#include "resources/resource.h"

namespace oriel {
namespace {

struct MapCase {
  std::uint32_t platformId;
  std::uint32_t major;
  std::uint32_t minor;
  int expected;  // kUnchanged: the current value comes back
};

constexpr int kUnchanged = -100;

const MapCase kMapCases[] = {
    // Windows 95 / 98 / Me
    {1, 4, 0, 1},
    {1, 4, 10, 2},
    {1, 4, 90, 2},
    {1, 4, 1, kUnchanged},
    {1, 4, 9, kUnchanged},
    {1, 4, 11, kUnchanged},
    {1, 4, 89, kUnchanged},
    {1, 4, 91, kUnchanged},
    {1, 4, 0xFFFFFFFF, kUnchanged},
    {1, 0, 0, kUnchanged},
    {1, 3, 10, kUnchanged},
    {1, 5, 0, kUnchanged},
    {1, 5, 1, kUnchanged},
    {1, 6, 1, kUnchanged},
    // NT
    {2, 0, 0, 3},
    {2, 3, 51, 3},
    {2, 4, 0, 3},
    {2, 4, 90, 3},
    {2, 5, 0, 4},
    {2, 5, 1, 5},
    {2, 5, 2, 6},
    {2, 5, 3, kUnchanged},
    {2, 5, 100, kUnchanged},
    {2, 6, 0, 7},
    {2, 6, 1, 8},
    {2, 6, 2, 9},
    {2, 6, 3, kUnchanged},
    {2, 6, 4, kUnchanged},
    {2, 7, 0, kUnchanged},
    {2, 10, 0, kUnchanged},
    {2, 0xFFFFFFFF, 0, kUnchanged},
    // Any other platform id counts as Windows 2000, whatever the version.
    {0, 0, 0, 4},
    {0, 4, 10, 4},
    {0, 6, 1, 4},
    {3, 4, 0, 4},
    {3, 10, 0, 4},
    {4, 5, 1, 4},
    {0xFFFFFFFF, 6, 2, 4},
};

TEST(MapOsKind, EveryRowOfTheTable) {
  for (const MapCase& c : kMapCases) {
    for (int current : {0, 7}) {
      const int expected = c.expected == kUnchanged ? current : c.expected;
      EXPECT_EQ(MapOsKind(c.platformId, c.major, c.minor, current), expected)
          << "platform " << c.platformId << " version " << c.major << "." << c.minor << " current "
          << current;
    }
  }
}

// A version service that answers from a script and keeps a copy of the record
// as it arrived at every call.
class ScriptedVersions : public SystemServices {
 public:
  struct Step {
    bool ok;
    std::function<void(OsVersionInfoEx&)> write;
  };
  std::vector<Step> steps;
  std::vector<OsVersionInfoEx> seen;

  bool QueryVersion(OsVersionInfoEx& record) override {
    seen.push_back(record);
    if (seen.size() > steps.size()) return false;
    const Step& step = steps[seen.size() - 1];
    if (step.write) step.write(record);
    return step.ok;
  }
  int QueryWow64Flag() override { return 0; }
  bool QueryRealVersion(OsVersionInfoEx&) override { return false; }
  std::optional<DesktopUser> QueryShellUser() override { return std::nullopt; }
  std::optional<DesktopUser> QuerySessionUser() override { return std::nullopt; }
  std::optional<std::uint16_t> QueryNativeMachine() override { return std::nullopt; }
  std::optional<bool> QueryProtectedPrintEnabled() override { return std::nullopt; }
  void Sleep(std::uint32_t) override {}
  void DebugOutput(const std::string&) override {}
  void BroadcastSettingChange(const std::string&) override {}
};

std::function<void(OsVersionInfoEx&)> Reports(std::uint32_t platformId, std::uint32_t major,
                                              std::uint32_t minor) {
  return [=](OsVersionInfoEx& record) {
    record.dwPlatformId = platformId;
    record.dwMajorVersion = major;
    record.dwMinorVersion = minor;
    record.dwBuildNumber = 2600;
    std::strcpy(record.szCSDVersion, "Service Pack 3");
  };
}

TEST(DetectOsKind, ExtendedRecordFirstAndFullyZeroed) {
  ScriptedVersions system;
  system.steps = {{true, Reports(2, 5, 1)}};
  int osKind = 0;
  DetectOsKind(system, osKind);

  EXPECT_EQ(osKind, 5);
  ASSERT_EQ(system.seen.size(), 1u);
  OsVersionInfoEx expected{};
  expected.dwOSVersionInfoSize = 156;
  EXPECT_EQ(std::memcmp(&system.seen[0], &expected, sizeof expected), 0);
}

TEST(DetectOsKind, FallsBackToShortRecordWithoutClearingAgain) {
  ScriptedVersions system;
  // The refused call leaves NT 5.1 behind; the short call succeeds writing nothing,
  // so only an uncleared record can give Windows XP.
  system.steps = {{false, Reports(2, 5, 1)}, {true, nullptr}};
  int osKind = 0;
  DetectOsKind(system, osKind);

  ASSERT_EQ(system.seen.size(), 2u);
  EXPECT_EQ(system.seen[0].dwOSVersionInfoSize, 156u);
  EXPECT_EQ(system.seen[1].dwOSVersionInfoSize, 148u);
  EXPECT_EQ(system.seen[1].dwPlatformId, 2u);
  EXPECT_STREQ(system.seen[1].szCSDVersion, "Service Pack 3");
  EXPECT_EQ(osKind, 5);
}

TEST(DetectOsKind, ShortRecordAnswerIsMapped) {
  ScriptedVersions system;
  system.steps = {{false, nullptr}, {true, Reports(1, 4, 90)}};
  int osKind = 0;
  DetectOsKind(system, osKind);
  EXPECT_EQ(osKind, 2);
}

TEST(DetectOsKind, BothRefusedLeavesOsKindAlone) {
  for (int before : {0, 8}) {
    ScriptedVersions system;
    system.steps = {{false, Reports(2, 5, 0)}, {false, Reports(2, 5, 0)}};
    int osKind = before;
    DetectOsKind(system, osKind);
    EXPECT_EQ(system.seen.size(), 2u);
    EXPECT_EQ(osKind, before);
  }
}

TEST(DetectOsKind, UnknownVersionKeepsEarlierDetection) {
  ScriptedVersions system;
  system.steps = {{true, Reports(2, 10, 0)}};
  int osKind = 8;
  DetectOsKind(system, osKind);
  EXPECT_EQ(osKind, 8);

  ScriptedVersions first;
  first.steps = {{true, Reports(2, 6, 3)}};
  int fresh = 0;
  DetectOsKind(first, fresh);
  EXPECT_EQ(fresh, 0);
}

TEST(RadioButtonForOsKind, EachKindHasItsButton) {
  EXPECT_EQ(RadioButtonForOsKind(1), IDC_OS_WIN95);
  EXPECT_EQ(RadioButtonForOsKind(2), IDC_OS_WIN98);
  EXPECT_EQ(RadioButtonForOsKind(3), IDC_OS_NT4);
  EXPECT_EQ(RadioButtonForOsKind(4), IDC_OS_WIN2000);
  EXPECT_EQ(RadioButtonForOsKind(5), IDC_OS_WINXP);
  EXPECT_EQ(RadioButtonForOsKind(6), IDC_OS_WIN2003);
  EXPECT_EQ(RadioButtonForOsKind(7), IDC_OS_VISTA);
  EXPECT_EQ(RadioButtonForOsKind(8), IDC_OS_WIN7);
  EXPECT_EQ(RadioButtonForOsKind(9), IDC_OS_WIN8);
  // The numbers the page finds its buttons by.
  EXPECT_EQ(RadioButtonForOsKind(6), 1011);
  EXPECT_EQ(RadioButtonForOsKind(7), 1020);
  EXPECT_EQ(RadioButtonForOsKind(8), 1005);
}

TEST(RadioButtonForOsKind, NoButtonOutsideOneToNine) {
  for (int osKind : {0, -1, 10, 11, 100, -2147483647 - 1, 2147483647}) EXPECT_EQ(RadioButtonForOsKind(osKind), 0);
}

// A loader of XP's kind, which may ignore LOAD_LIBRARY_SEARCH_SYSTEM32 and
// search the program's folder: it records every name it is handed.
struct RecordingLoader : LibraryLoader {
  RecordingLoader(bool hasFlags, bool flagLoads, std::wstring systemDirectory)
      : flags(hasFlags), flagWorks(flagLoads), directory(std::move(systemDirectory)) {}
  bool flags, flagWorks;
  std::wstring directory;
  std::vector<std::wstring> handed;
  bool HasSearchFlags() override { return flags; }
  void* LoadFromSystem32(const std::wstring& name) override {
    handed.push_back(name);
    return flagWorks ? this : nullptr;
  }
  std::wstring SystemDirectory() override { return directory; }
  void* LoadFullPath(const std::wstring& path) override {
    handed.push_back(path);
    return this;
  }
};

TEST(SystemLibrary, ABareNameOnlyWhereTheSearchFlagsExist) {
  const std::wstring full = L"C:\\WINDOWS\\system32\\winspool.drv";
  const struct {
    RecordingLoader loader;
    std::vector<std::wstring> handed;
    DllSearchRestriction restriction;
  } cases[] = {
      {{false, true, L"C:\\WINDOWS\\system32"}, {full}, DllSearchRestriction::WithoutCurrentDirectory},
      {{false, true, L""}, {}, DllSearchRestriction::WithoutCurrentDirectory},
      {{true, true, L"C:\\WINDOWS\\system32"}, {L"winspool.drv"}, DllSearchRestriction::System32Only},
      {{true, false, L"C:\\WINDOWS\\system32"}, {L"winspool.drv", full}, DllSearchRestriction::System32Only},
  };
  for (auto c : cases) {
    EXPECT_EQ(LoadSystemLibrary(c.loader, L"winspool.drv") != nullptr, !c.handed.empty());
    EXPECT_EQ(c.loader.handed, c.handed);
    EXPECT_EQ(ChooseDllSearchRestriction(c.loader), c.restriction);
  }
}

}  // namespace
}  // namespace oriel
