#include "tests/e2e/png_writer.h"

#include <array>
#include <stdexcept>

namespace e2e {
namespace {

class BitWriter {
public:
  explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  // Deflate packs fields from the least significant bit up.
  void Bits(std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
      if ((value >> i) & 1u) current_ = static_cast<std::uint8_t>(current_ | (1u << used_));
      if (++used_ == 8) Flush();
    }
  }

  // Huffman codes go most significant bit first.
  void Code(std::uint32_t code, int length) {
    for (int i = length - 1; i >= 0; --i) Bits((code >> i) & 1u, 1);
  }

  void Finish() {
    if (used_ > 0) Flush();
  }

private:
  void Flush() {
    out_.push_back(current_);
    current_ = 0;
    used_ = 0;
  }

  std::vector<std::uint8_t>& out_;
  std::uint8_t current_ = 0;
  int used_ = 0;
};

constexpr std::array<int, 29> kLengthBase = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                             31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::array<int, 29> kLengthExtra = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                              2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::array<int, 30> kDistanceBase = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,
                                               33,  49,  65,  97,  129, 193,  257,  385,  513,  769,
                                               1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<int, 30> kDistanceExtra = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                                6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

void WriteLiteralOrLength(BitWriter& bits, int symbol) {
  if (symbol < 144) {
    bits.Code(static_cast<std::uint32_t>(0x30 + symbol), 8);
  } else if (symbol < 256) {
    bits.Code(static_cast<std::uint32_t>(0x190 + symbol - 144), 9);
  } else if (symbol < 280) {
    bits.Code(static_cast<std::uint32_t>(symbol - 256), 7);
  } else {
    bits.Code(static_cast<std::uint32_t>(0xC0 + symbol - 280), 8);
  }
}

void WriteMatch(BitWriter& bits, int length, int distance) {
  int code = 28;
  while (kLengthBase[code] > length) --code;
  WriteLiteralOrLength(bits, 257 + code);
  bits.Bits(static_cast<std::uint32_t>(length - kLengthBase[code]), kLengthExtra[code]);
  int dcode = 29;
  while (kDistanceBase[dcode] > distance) --dcode;
  bits.Code(static_cast<std::uint32_t>(dcode), 5);
  bits.Bits(static_cast<std::uint32_t>(distance - kDistanceBase[dcode]), kDistanceExtra[dcode]);
}

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size) {
  std::uint32_t a = 1, b = 0;
  for (std::size_t i = 0; i < size; ++i) {
    a = (a + data[i]) % 65521u;
    b = (b + a) % 65521u;
  }
  return (b << 16) | a;
}

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
  out.push_back(static_cast<std::uint8_t>(value >> 24));
  out.push_back(static_cast<std::uint8_t>(value >> 16));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
  out.push_back(static_cast<std::uint8_t>(value));
}

void PutChunk(std::vector<std::uint8_t>& png, const char* type, const std::vector<std::uint8_t>& data) {
  PutBigEndian(png, static_cast<std::uint32_t>(data.size()));
  const std::size_t typeAt = png.size();
  png.insert(png.end(), type, type + 4);
  png.insert(png.end(), data.begin(), data.end());
  PutBigEndian(png, Crc32(png.data() + typeAt, png.size() - typeAt));
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k) c = (c & 1u) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  crc = ~crc;
  for (std::size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFFu] ^ (crc >> 8);
  return ~crc;
}

std::vector<std::uint8_t> ZlibCompress(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint8_t> out = {0x78, 0x01};
  BitWriter bits(out);
  bits.Bits(1, 1);  // last block
  bits.Bits(1, 2);  // fixed Huffman codes

  constexpr std::size_t kWindow = 32768;
  constexpr int kMaxMatch = 258;
  constexpr std::size_t kHashSize = 1u << 15;
  std::vector<std::size_t> head(kHashSize, SIZE_MAX);
  auto hashAt = [&](std::size_t i) {
    const std::uint32_t v = (std::uint32_t(data[i]) << 16) | (std::uint32_t(data[i + 1]) << 8) | data[i + 2];
    return (v * 2654435761u) >> 17;
  };

  std::size_t i = 0;
  while (i < size) {
    int bestLength = 0;
    std::size_t bestDistance = 0;
    if (i + 3 <= size) {
      const std::uint32_t h = hashAt(i);
      const std::size_t candidate = head[h];
      head[h] = i;
      // Runs of one colour match at distance 1 even when the hash slot holds
      // something older; try that first, then the hashed position.
      const std::size_t tries[2] = {i >= 1 ? i - 1 : SIZE_MAX, candidate};
      for (std::size_t from : tries) {
        if (from == SIZE_MAX || from >= i || i - from > kWindow) continue;
        int length = 0;
        while (length < kMaxMatch && i + length < size && data[from + length] == data[i + length]) ++length;
        if (length > bestLength) {
          bestLength = length;
          bestDistance = i - from;
        }
      }
    }
    if (bestLength >= 3) {
      WriteMatch(bits, bestLength, static_cast<int>(bestDistance));
      for (std::size_t k = 1; k < static_cast<std::size_t>(bestLength) && i + k + 3 <= size; ++k) {
        head[hashAt(i + k)] = i + k;
      }
      i += static_cast<std::size_t>(bestLength);
    } else {
      WriteLiteralOrLength(bits, data[i]);
      ++i;
    }
  }
  WriteLiteralOrLength(bits, 256);
  bits.Finish();
  PutBigEndian(out, Adler32(data, size));
  return out;
}

std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb) {
  if (width <= 0 || height <= 0) throw std::invalid_argument("PNG: empty image");
  const std::size_t stride = static_cast<std::size_t>(width) * 3;
  if (rgb.size() != stride * static_cast<std::size_t>(height)) throw std::invalid_argument("PNG: pixel buffer size");

  std::vector<std::uint8_t> raw;
  raw.reserve((stride + 1) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // filter: none
    const auto row = rgb.begin() + static_cast<std::ptrdiff_t>(stride * static_cast<std::size_t>(y));
    raw.insert(raw.end(), row, row + static_cast<std::ptrdiff_t>(stride));
  }

  std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<std::uint8_t> header;
  PutBigEndian(header, static_cast<std::uint32_t>(width));
  PutBigEndian(header, static_cast<std::uint32_t>(height));
  header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit, truecolour, deflate, adaptive filter, no interlace
  PutChunk(png, "IHDR", header);
  PutChunk(png, "IDAT", ZlibCompress(raw.data(), raw.size()));
  PutChunk(png, "IEND", {});
  return png;
}

}  // namespace e2e
