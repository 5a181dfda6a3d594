#pragma once
// Shared by the port and monitor harnesses: decoding a record set and the
// spooler's misbehaviour from fuzz bytes, and checking the two-call protocol
// the lister ran against what the fake answered.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "platform/enumeration.h"
#include "platform/spooler.h"
#include "platform/system.h"
#include "tests/fuzz/fuzz_input.h"
// Not fakes.h: it brings install/installer.h, whose kErrorInsufficientBuffer
// clashes with enumeration.h's in one translation unit.
#include "tests/support/fake_enumeration.h"

namespace oriel::fuzz {

// One enumeration call as the fake saw it, with the entries it answered from.
template <typename Entry>
struct EnumerationCallRecord {
  std::vector<Entry> entriesBefore;
  std::uint32_t size = 0;
  bool hadBuffer = false;
  EnumAnswer answer;
};

// Forwards both enumerations to the fakes and keeps what each call saw; the
// other operations are never reached by a lister.
class RecordingSpooler : public Spooler {
 public:
  testing::FakePortEnumeration ports;
  testing::FakeMonitorEnumeration monitors;
  std::vector<EnumerationCallRecord<testing::FakePort>> portCalls;
  std::vector<EnumerationCallRecord<testing::FakeMonitor>> monitorCalls;

  EnumAnswer EnumPorts2(std::byte* buffer, std::uint32_t size) override {
    EnumerationCallRecord<testing::FakePort> call{ports.entries, size, buffer != nullptr, {}};
    call.answer = ports.Call(buffer, size);
    portCalls.push_back(std::move(call));
    return portCalls.back().answer;
  }
  EnumAnswer EnumMonitors1(std::byte* buffer, std::uint32_t size) override {
    EnumerationCallRecord<testing::FakeMonitor> call{monitors.entries, size, buffer != nullptr, {}};
    call.answer = monitors.Call(buffer, size);
    monitorCalls.push_back(std::move(call));
    return monitorCalls.back().answer;
  }
  std::uint32_t AddPort(WindowHandle, const std::string&) override { Unexpected(); }
  std::uint32_t ConfigurePort(WindowHandle, const std::string&) override { Unexpected(); }
  std::uint32_t GetPrinterDriverDirectory(const std::string&, char*, std::uint32_t) override { Unexpected(); }
  std::uint32_t AddPrinterDriver3(const DriverInfo3&) override { Unexpected(); }
  PrinterHandle AddPrinter2(const PrinterRecord2&, std::uint32_t&) override { Unexpected(); }
  void ClosePrinter(PrinterHandle) override { Unexpected(); }
  PrinterHandle OpenPrinter(const std::string&, std::uint32_t&) override { Unexpected(); }
  std::uint32_t GetPrinter2(PrinterHandle, std::byte*, std::uint32_t, std::uint32_t&) override { Unexpected(); }
  std::uint32_t SetPrinter2(PrinterHandle, const PrinterRecord2&) override { Unexpected(); }

 private:
  [[noreturn]] static void Unexpected() { Fail("a lister called a spooler operation other than enumeration", __FILE__, __LINE__); }
};

class DebugLines : public SystemServices {
 public:
  std::vector<std::string> debugLines;
  bool QueryVersion(OsVersionInfoEx&) override { Unexpected(); }
  int QueryWow64Flag() override { Unexpected(); }
  bool QueryRealVersion(OsVersionInfoEx&) override { Unexpected(); }
  std::optional<DesktopUser> QueryShellUser() override { Unexpected(); }
  std::optional<DesktopUser> QuerySessionUser() override { Unexpected(); }
  std::optional<std::uint16_t> QueryNativeMachine() override { Unexpected(); }
  std::optional<bool> QueryProtectedPrintEnabled() override { Unexpected(); }
  void Sleep(std::uint32_t) override { Unexpected(); }
  void DebugOutput(const std::string& text) override { debugLines.push_back(text); }
  void BroadcastSettingChange(const std::string&) override { Unexpected(); }

 private:
  [[noreturn]] static void Unexpected() { Fail("a lister asked the system for more than a debug line", __FILE__, __LINE__); }
};

// A nullable text field: now and then null, otherwise one of the given
// prefixes (or none) followed by arbitrary bytes.
inline testing::FakeText ReadFakeText(FuzzInput& in, const std::vector<std::string>& prefixes) {
  const std::uint8_t lead = in.Byte();
  if (lead % 8 == 7) return std::nullopt;
  const std::size_t choice = (lead >> 3) % (prefixes.size() + 1);
  std::string text = choice == 0 ? std::string() : prefixes[choice - 1];
  text += in.Text();
  return text;
}

// A few templates cycled to any length, then a few entries placed at chosen
// positions, so long lists with a candidate at position 270 cost few bytes.
template <typename Entry>
std::vector<Entry> ReadEntries(FuzzInput& in, const std::function<Entry(FuzzInput&)>& read,
                               std::size_t maxCount) {
  const std::size_t templateCount = in.Byte() % 8 + 1;
  std::vector<Entry> templates;
  for (std::size_t i = 0; i < templateCount; ++i) templates.push_back(read(in));
  const std::size_t count = in.U16() % (maxCount + 1);
  std::vector<Entry> entries;
  entries.reserve(count);
  for (std::size_t i = 0; i < count; ++i) entries.push_back(templates[i % templateCount]);
  const int placed = in.Byte() % 4;
  for (int k = 0; k < placed; ++k) {
    const std::size_t position = in.U16();
    Entry entry = read(in);
    if (!entries.empty()) entries[position % entries.size()] = std::move(entry);
  }
  return entries;
}

inline std::uint32_t ReadEnumerationError(FuzzInput& in) {
  switch (in.Byte() % 4) {
    case 0: return kErrorInsufficientBuffer;
    case 1: return testing::kErrorRpcServerUnavailable;
    case 2: return testing::kErrorInvalidUserBuffer;
    default: return in.U32();
  }
}

// neededOverride, failing calls, a lying count and changes between calls.
template <typename Entry, typename Knobs>
void ReadKnobs(FuzzInput& in, Knobs& knobs, const std::function<Entry(FuzzInput&)>& read) {
  const std::uint8_t flags = in.Byte();
  if (flags & 0x01) {
    const std::uint32_t trueNeeded = knobs.TrueNeededSize();
    switch (in.Byte() % 3) {
      case 0: knobs.neededOverride = in.U32(); break;
      case 1: knobs.neededOverride = trueNeeded + static_cast<std::uint32_t>(static_cast<std::int8_t>(in.Byte())); break;
      default: knobs.neededOverride = in.Byte(); break;
    }
  }
  if (flags & 0x02) knobs.FailSecondCall(ReadEnumerationError(in));
  if (flags & 0x04) {
    const std::size_t index = in.Byte() % (1 + kEnumerationTries + 1);
    knobs.failingCalls[index] = ReadEnumerationError(in);
  }
  if (flags & 0x08) {
    const auto trueCount = static_cast<std::uint32_t>(knobs.entries.size());
    knobs.reportedCount = in.Bool() ? in.U32() : trueCount + static_cast<std::uint32_t>(static_cast<std::int8_t>(in.Byte()));
  }
  if (flags & 0x10) {
    for (int call = 0; call <= kEnumerationTries; ++call) {
      std::function<void(std::vector<Entry>&)> change;
      switch (in.Byte() % 6) {
        case 1: {  // a few added, as a monitor's dialog or a plugged-in device would
          std::vector<Entry> added;
          const int n = in.Byte() % 8 + 1;
          for (int i = 0; i < n; ++i) added.push_back(read(in));
          change = [added](std::vector<Entry>& entries) { entries.insert(entries.end(), added.begin(), added.end()); };
          break;
        }
        case 2: {  // many added
          const std::size_t n = 200u + in.Byte();
          Entry entry = read(in);
          change = [n, entry](std::vector<Entry>& entries) { entries.insert(entries.end(), n, entry); };
          break;
        }
        case 3: {
          const std::size_t n = in.Byte() % 8 + 1;
          change = [n](std::vector<Entry>& entries) { entries.resize(entries.size() - std::min(n, entries.size())); };
          break;
        }
        case 4: change = [](std::vector<Entry>& entries) { entries.clear(); }; break;
        case 5: {
          const std::size_t position = in.Byte();
          Entry entry = read(in);
          change = [position, entry](std::vector<Entry>& entries) {
            if (!entries.empty()) entries[position % entries.size()] = entry;
          };
          break;
        }
        default: break;
      }
      knobs.changes.push_back(change);
    }
  }
}

// Checks the calls against the two-call protocol with retries on growth.
// Returns the index of the call whose answer was used, or -1 for none.
template <typename Entry>
int CheckProtocol(const std::vector<EnumerationCallRecord<Entry>>& calls) {
  FUZZ_CHECK(!calls.empty());
  FUZZ_CHECK(calls.size() <= static_cast<std::size_t>(1 + kEnumerationTries));
  FUZZ_CHECK(calls[0].size == 0 && !calls[0].hadBuffer);
  for (std::size_t k = 1; k < calls.size(); ++k) {
    FUZZ_CHECK(calls[k].hadBuffer);
    FUZZ_CHECK(calls[k].size > 0 && calls[k].size <= kMaxEnumerationBytes);
    // Each buffer is exactly what the previous answer asked for.
    FUZZ_CHECK(calls[k].size == calls[k - 1].answer.needed);
    if (k >= 2) {
      FUZZ_CHECK(calls[k].size > calls[k - 1].size);
      FUZZ_CHECK(!calls[k - 1].answer.ok && calls[k - 1].answer.error == kErrorInsufficientBuffer);
    }
    // The first usable answer ends the enumeration.
    if (calls[k].answer.ok) FUZZ_CHECK(k + 1 == calls.size());
  }
  const auto& last = calls.back();
  if (calls.size() == 1) {
    const bool refused = !last.answer.ok && last.answer.error != kErrorInsufficientBuffer && last.answer.error != 0;
    FUZZ_CHECK(refused || last.answer.needed == 0 || last.answer.needed > kMaxEnumerationBytes);
    return -1;
  }
  if (last.answer.ok) return static_cast<int>(calls.size() - 1);
  // Giving up early is only right when the list did not grow.
  if (calls.size() < static_cast<std::size_t>(1 + kEnumerationTries)) {
    const bool grew = last.answer.error == kErrorInsufficientBuffer && last.answer.needed > last.size &&
                      last.answer.needed <= kMaxEnumerationBytes;
    FUZZ_CHECK(!grew);
  }
  return -1;
}

// Records the lister may take from an answer: the reported count, no more
// than fit in the buffer it was given.
template <typename Record, typename Entry>
std::uint32_t UsableCount(const EnumerationCallRecord<Entry>& call) {
  return std::min<std::uint32_t>(call.answer.returned, static_cast<std::uint32_t>(call.size / sizeof(Record)));
}

}  // namespace oriel::fuzz
