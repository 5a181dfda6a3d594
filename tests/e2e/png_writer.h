// PNG encoding for the screenshots: 8-bit RGB, one fixed-Huffman deflate block
// with a greedy LZ77 matcher. Dialog screenshots are mostly flat colour, so
// this gets them small without pulling in zlib or GDI+.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace e2e {

// `rgb` holds height rows of width * 3 bytes, top row first.
std::vector<std::uint8_t> EncodePng(int width, int height, const std::vector<std::uint8_t>& rgb);

// The zlib stream (header, deflate data, Adler-32) of `data`.
std::vector<std::uint8_t> ZlibCompress(const std::uint8_t* data, std::size_t size);

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size, std::uint32_t crc = 0);

}  // namespace e2e
