#include "platform/enumeration.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace oriel {

EnumerationBuffer::EnumerationBuffer(std::vector<std::byte> bytes, std::uint32_t reportedCount,
                                     std::size_t recordSize)
    : bytes_(std::move(bytes)) {
  const std::size_t fits = recordSize == 0 ? 0 : bytes_.size() / recordSize;
  count_ = static_cast<std::uint32_t>(std::min<std::size_t>(reportedCount, fits));
}

std::optional<std::string> EnumerationBuffer::TextAt(const char* pointer) const {
  if (pointer == nullptr || bytes_.empty()) return std::nullopt;
  // Compare as integers: relational operators on pointers into different
  // objects are unspecified.
  const auto begin = reinterpret_cast<std::uintptr_t>(bytes_.data());
  const auto end = begin + bytes_.size();
  const auto at = reinterpret_cast<std::uintptr_t>(pointer);
  if (at < begin || at >= end) return std::nullopt;
  const char* text = reinterpret_cast<const char*>(bytes_.data()) + (at - begin);
  const std::size_t room = end - at;
  const void* zero = std::memchr(text, 0, room);
  if (zero == nullptr) return std::nullopt;
  return std::string(text, static_cast<const char*>(zero));
}

EnumerationBuffer Enumerate(const EnumerationCall& call, std::size_t recordSize) {
  const EnumAnswer query = call(nullptr, 0);
  // A stopped spooler fails the size query itself (1722), where a running one
  // fails only for want of a buffer (122):
  // https://learn.microsoft.com/en-us/windows/win32/printdocs/enumports
  if (!query.ok && query.error != kErrorInsufficientBuffer && query.error != 0) {
    return EnumerationBuffer::Failed(query.error);
  }
  std::uint32_t needed = query.needed;
  if (needed == 0) return {};
  try {
    for (int attempt = 0; attempt < kEnumerationTries; ++attempt) {
      if (needed > kMaxEnumerationBytes) return EnumerationBuffer::Failed(kErrorNotEnoughMemory);
      std::vector<std::byte> bytes(needed);
      const EnumAnswer answer = call(bytes.data(), needed);
      if (answer.ok) return EnumerationBuffer(std::move(bytes), answer.returned, recordSize);
      // Only a list that grew since the last call is worth another try.
      if (answer.error != kErrorInsufficientBuffer || answer.needed <= needed) {
        return EnumerationBuffer::Failed(answer.error != 0 ? answer.error : kErrorInsufficientBuffer);
      }
      needed = answer.needed;
    }
  } catch (const std::bad_alloc&) {
    return EnumerationBuffer::Failed(kErrorNotEnoughMemory);
  }
  return EnumerationBuffer::Failed(kErrorInsufficientBuffer);
}

}  // namespace oriel
