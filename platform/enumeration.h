#pragma once
// The spooler's two-call enumeration (EnumPortsA, EnumMonitorsA): ask for the
// size, allocate, ask again. Everything read from the answer is bounded by the
// bytes the spooler was given, whatever counts or pointers it hands back.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/spooler.h"

namespace oriel {

// Buffer calls before giving up when the list keeps growing between calls.
inline constexpr int kEnumerationTries = 4;
// Larger requests are taken as garbage rather than allocated.
inline constexpr std::uint32_t kMaxEnumerationBytes = 16u * 1024u * 1024u;

// One enumeration call: buffer and size in, the spooler's answer out.
using EnumerationCall = std::function<EnumAnswer(std::byte* buffer, std::uint32_t size)>;

// The bytes of one successful answer and the number of whole records in them.
class EnumerationBuffer {
 public:
  EnumerationBuffer() = default;
  // count is the spooler's record count, clamped to what fits in bytes.
  EnumerationBuffer(std::vector<std::byte> bytes, std::uint32_t reportedCount, std::size_t recordSize);
  // Move only: the records point into these very bytes, so a copy would hold
  // pointers into its original.
  EnumerationBuffer(EnumerationBuffer&&) = default;
  EnumerationBuffer& operator=(EnumerationBuffer&&) = default;
  EnumerationBuffer(const EnumerationBuffer&) = delete;
  EnumerationBuffer& operator=(const EnumerationBuffer&) = delete;

  // The spooler refused the list: the system error code, and no records.
  static EnumerationBuffer Failed(std::uint32_t error) {
    EnumerationBuffer failed;
    failed.error_ = error;
    return failed;
  }

  std::uint32_t count() const { return count_; }
  // 0 when the spooler answered (an empty list included).
  std::uint32_t error() const { return error_; }
  bool empty() const { return count_ == 0; }
  std::size_t size() const { return bytes_.size(); }

  // A copy of record index (the buffer need not be aligned for Record); a zeroed
  // record when index is not below count().
  template <typename Record>
  Record RecordAt(std::uint32_t index) const {
    Record record{};
    if (index < count_ && (static_cast<std::size_t>(index) + 1) * sizeof(Record) <= bytes_.size())
      std::memcpy(&record, bytes_.data() + static_cast<std::size_t>(index) * sizeof(Record), sizeof record);
    return record;
  }

  // The text a record points to, or nullopt when the pointer is null, points
  // outside the buffer, or its text runs to the end without a zero byte.
  std::optional<std::string> TextAt(const char* pointer) const;

 private:
  std::vector<std::byte> bytes_;
  std::uint32_t count_ = 0;
  std::uint32_t error_ = 0;
};

// Runs the two-call protocol. A size query that fails only for want of a
// buffer is the protocol; one that reports a needed size of 0 gives an empty
// list. Every other failure (a refused size query or second call, a list still
// growing after kEnumerationTries buffer calls, an absurd size) gives no
// records, rather than stale or partial ones, and the error that caused it.
EnumerationBuffer Enumerate(const EnumerationCall& call, std::size_t recordSize);

template <typename Record>
EnumerationBuffer Enumerate(const EnumerationCall& call) {
  return Enumerate(call, sizeof(Record));
}

}  // namespace oriel
