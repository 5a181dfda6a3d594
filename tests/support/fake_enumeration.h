#pragma once
// Stand-ins for EnumPortsA level 2 and EnumMonitorsA level 1. Each answers the
// spooler's two-call protocol the way winspool does: a call whose buffer is too
// small reports the bytes it needs and fails with ERROR_INSUFFICIENT_BUFFER; a
// call whose buffer is large enough gets the records laid out at the start of
// the buffer, with the texts they point to packed behind them in the same
// buffer. The knobs let a test make the spooler misbehave.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/records.h"
#include "platform/spooler.h"

namespace oriel::testing {

inline constexpr std::uint32_t kErrorInvalidUserBuffer = 1784;
inline constexpr std::uint32_t kErrorRpcServerUnavailable = 1722;

// A text field of a record; nullopt is a null pointer in the record.
using FakeText = std::optional<std::string>;

struct FakePort {
  FakeText name;
  FakeText monitor = std::string("Local Port");
  FakeText description = std::string("Local Port");
  std::uint32_t type = 0;
};

struct FakeMonitor {
  FakeText name;
};

// What both fakes share: the entries and the knobs. Call index 0 is the first
// call ever made (normally the size query), 1 the second, and so on; the record
// of calls is never reset, so a second fill continues the count.
template <typename Entry>
class FakeEnumerationKnobs {
 public:
  std::vector<Entry> entries;

  // Reported as the needed size in every answer instead of the true one. A call
  // still succeeds only when its buffer holds the true size.
  std::optional<std::uint32_t> neededOverride;

  // Calls that fail whatever their size: call index -> error code. A failing
  // call whose buffer is large enough still gets the records laid out and
  // reports their count, as a spooler that wrote its answer and then failed
  // might; only ok=false says the answer is not to be used.
  std::map<std::size_t, std::uint32_t> failingCalls;

  // Reported as the record count of every successful call instead of the true
  // count (a lying spooler; may exceed what fits in the buffer).
  std::optional<std::uint32_t> reportedCount;

  // changes[k] runs on the entries right after call k has answered, e.g. ports
  // added between the size query and the second call.
  std::vector<std::function<void(std::vector<Entry>&)>> changes;

  // Recorded for every call, in order.
  std::vector<std::uint32_t> callSizes;
  std::vector<bool> callHadBuffer;

  void FailSecondCall(std::uint32_t error = kErrorRpcServerUnavailable) { failingCalls[1] = error; }
  std::size_t CallCount() const { return callSizes.size(); }
};

class FakePortEnumeration : public FakeEnumerationKnobs<FakePort> {
 public:
  // Bytes the current entries need: the PortInfo2 records plus every non-null
  // text with its zero byte.
  std::uint32_t TrueNeededSize() const;
  oriel::EnumAnswer Call(std::byte* buffer, std::uint32_t size);
};

class FakeMonitorEnumeration : public FakeEnumerationKnobs<FakeMonitor> {
 public:
  std::uint32_t TrueNeededSize() const;
  oriel::EnumAnswer Call(std::byte* buffer, std::uint32_t size);
};

// Ports named as given, with a description "<name> port" each.
std::vector<FakePort> PortsNamed(const std::vector<std::string>& names);
// Ports "PORT0:", "PORT1:", ... (count of them), with descriptions.
std::vector<FakePort> NumberedPorts(int count);

}  // namespace oriel::testing
