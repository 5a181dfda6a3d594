#pragma once
// Reads a fuzzer's bytes front to back as the values a harness needs. Reading
// past the end gives zeros and empty texts, so every input decodes to
// something and short seeds stay meaningful when mutated.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace oriel::fuzz {

class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::size_t remaining() const { return size_ - at_; }

  std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  bool Bool() { return (Byte() & 1) != 0; }
  std::uint16_t U16() {
    const unsigned low = Byte();
    return static_cast<std::uint16_t>(low | (static_cast<unsigned>(Byte()) << 8));
  }
  std::uint32_t U32() {
    const std::uint32_t low = U16();
    return low | (static_cast<std::uint32_t>(U16()) << 16);
  }

  // Up to n raw bytes, fewer when the input runs out.
  std::string Bytes(std::size_t n) {
    const std::size_t take = n < remaining() ? n : remaining();
    std::string bytes(reinterpret_cast<const char*>(data_ + at_), take);
    at_ += take;
    return bytes;
  }

  // A length, then that many arbitrary bytes (zeros included). One byte covers
  // 0..253; 0xFE gives 255..510, straddling the 255-byte buffers; 0xFF a
  // 16-bit length.
  std::string Text() {
    const std::uint8_t lead = Byte();
    std::size_t length = lead;
    if (lead == 0xFE) length = 255u + Byte();
    if (lead == 0xFF) length = U16();
    return Bytes(length);
  }

  // A list selection index, mostly near the tables' sizes, sometimes
  // negative, sometimes any int.
  int Index() {
    const std::uint8_t lead = Byte();
    if (lead < 0xC0) return lead % 20;
    if (lead < 0xFF) return -static_cast<int>(lead - 0xBF);
    return static_cast<int>(U32());
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t at_ = 0;
};

// The text a record's zero-terminated copy of `text` reads back as.
inline std::string UpToZero(const std::string& text) { return text.substr(0, text.find('\0')); }

[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "invariant failed: %s (%s:%d)\n", what, file, line);
  std::fflush(stderr);
  std::abort();
}

}  // namespace oriel::fuzz

// Aborts, so libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition) \
  do {                        \
    if (!(condition)) ::oriel::fuzz::Fail(#condition, __FILE__, __LINE__); \
  } while (false)
