#include "tests/support/fake_enumeration.h"

#include <cstring>

namespace oriel::testing {
namespace {

std::uint32_t TextBytes(const FakeText& text) {
  return text ? static_cast<std::uint32_t>(text->size() + 1) : 0;
}

// Packs texts behind the records of one answer, front to back.
class TextPacker {
 public:
  TextPacker(std::byte* buffer, std::size_t recordBytes) : buffer_(buffer), next_(recordBytes) {}

  const char* Put(const FakeText& text) {
    if (!text) return nullptr;
    std::byte* at = buffer_ + next_;
    std::memcpy(at, text->c_str(), text->size() + 1);
    next_ += text->size() + 1;
    return reinterpret_cast<const char*>(at);
  }

 private:
  std::byte* buffer_;
  std::size_t next_;
};

template <typename Knobs>
void RecordCall(Knobs& knobs, const std::byte* buffer, std::uint32_t size) {
  knobs.callSizes.push_back(size);
  knobs.callHadBuffer.push_back(buffer != nullptr);
}

template <typename Knobs>
void ApplyChange(Knobs& knobs, std::size_t callIndex) {
  if (callIndex < knobs.changes.size() && knobs.changes[callIndex]) knobs.changes[callIndex](knobs.entries);
}

// The protocol both enumerations follow; layOut writes the records and texts
// into a buffer known to hold the true needed size.
template <typename Knobs, typename LayOut>
EnumAnswer Answer(Knobs& knobs, std::uint32_t trueNeeded, std::byte* buffer, std::uint32_t size,
                  LayOut layOut) {
  const std::size_t callIndex = knobs.CallCount();
  RecordCall(knobs, buffer, size);

  EnumAnswer answer;
  answer.needed = knobs.neededOverride.value_or(trueNeeded);
  const auto count = static_cast<std::uint32_t>(knobs.entries.size());

  const auto failing = knobs.failingCalls.find(callIndex);
  if (buffer == nullptr && size > 0) {
    answer.error = kErrorInvalidUserBuffer;
  } else if (size < trueNeeded) {
    answer.error = kErrorInsufficientBuffer;
  } else {
    layOut(buffer);
    answer.returned = count;
    if (failing == knobs.failingCalls.end()) {
      answer.ok = true;
      if (knobs.reportedCount) answer.returned = *knobs.reportedCount;
    }
  }
  // A forced failure wins over every other outcome, a too-small buffer included.
  if (failing != knobs.failingCalls.end()) answer.error = failing->second;

  ApplyChange(knobs, callIndex);
  return answer;
}

}  // namespace

std::uint32_t FakePortEnumeration::TrueNeededSize() const {
  auto needed = static_cast<std::uint32_t>(entries.size() * sizeof(PortInfo2));
  for (const FakePort& port : entries)
    needed += TextBytes(port.name) + TextBytes(port.monitor) + TextBytes(port.description);
  return needed;
}

EnumAnswer FakePortEnumeration::Call(std::byte* buffer, std::uint32_t size) {
  return Answer(*this, TrueNeededSize(), buffer, size, [this](std::byte* out) {
    TextPacker texts(out, entries.size() * sizeof(PortInfo2));
    for (std::size_t i = 0; i < entries.size(); ++i) {
      PortInfo2 record{};
      record.pPortName = texts.Put(entries[i].name);
      record.pMonitorName = texts.Put(entries[i].monitor);
      record.pDescription = texts.Put(entries[i].description);
      record.fPortType = entries[i].type;
      std::memcpy(out + i * sizeof(PortInfo2), &record, sizeof record);
    }
  });
}

std::uint32_t FakeMonitorEnumeration::TrueNeededSize() const {
  auto needed = static_cast<std::uint32_t>(entries.size() * sizeof(MonitorInfo1));
  for (const FakeMonitor& monitor : entries) needed += TextBytes(monitor.name);
  return needed;
}

EnumAnswer FakeMonitorEnumeration::Call(std::byte* buffer, std::uint32_t size) {
  return Answer(*this, TrueNeededSize(), buffer, size, [this](std::byte* out) {
    TextPacker texts(out, entries.size() * sizeof(MonitorInfo1));
    for (std::size_t i = 0; i < entries.size(); ++i) {
      MonitorInfo1 record{};
      record.pName = texts.Put(entries[i].name);
      std::memcpy(out + i * sizeof(MonitorInfo1), &record, sizeof record);
    }
  });
}

std::vector<FakePort> PortsNamed(const std::vector<std::string>& names) {
  std::vector<FakePort> ports;
  for (const std::string& name : names) {
    FakePort port;
    port.name = name;
    port.description = name + " port";
    ports.push_back(port);
  }
  return ports;
}

std::vector<FakePort> NumberedPorts(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back("PORT" + std::to_string(i) + ":");
  return PortsNamed(names);
}

}  // namespace oriel::testing
