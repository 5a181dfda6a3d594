#include "catalogue/descrambler.h"

#include <cstddef>

namespace oriel {
namespace {

// The running state's update: state = (state + T) * kStateMultiplier + kStateIncrement,
// all modulo 65536. Every stored entry was made with these two values; changing
// either one turns every literal in scrambled_names.cpp into noise.
constexpr std::uint16_t kStateMultiplier = 20021;  // 0x4E35, odd and = 1 mod 4
constexpr std::uint16_t kStateIncrement = 12345;   // 0x3039, odd

constexpr int kLettersPerByte = 26;

std::uint16_t NextState(std::uint16_t state, std::uint8_t scrambledByte) {
  const unsigned sum = static_cast<unsigned>(state) + scrambledByte;
  return static_cast<std::uint16_t>(sum * kStateMultiplier + kStateIncrement);
}

std::uint8_t HighByte(std::uint16_t state) { return static_cast<std::uint8_t>(state >> 8); }

}  // namespace

std::string Descramble(std::string letters, unsigned key) {
  const std::size_t n = letters.size() / 2;

  // Pass 1: each letter pair is a base-26 digit pair. Anything outside A..Z
  // still counts, through the same signed arithmetic wrapped to 8 bits.
  std::string scrambled(n, '\0');
  for (std::size_t i = 0; i < n; ++i) {
    const int c1 = static_cast<unsigned char>(letters[2 * i]);
    const int c2 = static_cast<unsigned char>(letters[2 * i + 1]);
    const int v = (c1 - 'A') * kLettersPerByte + (c2 - 'A');
    scrambled[i] = static_cast<char>(static_cast<std::uint8_t>(v));
  }

  // Pass 2: the state is fed the scrambled byte, so the key stream does not
  // depend on the plain text and Scramble can run the same stream forwards.
  std::string text(n, '\0');
  auto state = static_cast<std::uint16_t>(key);
  for (std::size_t i = 0; i < n; ++i) {
    const auto t = static_cast<std::uint8_t>(scrambled[i]);
    text[i] = static_cast<char>(t ^ HighByte(state));
    state = NextState(state, t);
  }
  return text;
}

std::string Scramble(const std::string& text, unsigned key) {
  std::string letters;
  letters.reserve(text.size() * 2);
  auto state = static_cast<std::uint16_t>(key);
  for (const char plain : text) {
    const auto t = static_cast<std::uint8_t>(static_cast<std::uint8_t>(plain) ^ HighByte(state));
    letters.push_back(static_cast<char>('A' + t / kLettersPerByte));
    letters.push_back(static_cast<char>('A' + t % kLettersPerByte));
    state = NextState(state, t);
  }
  return letters;
}

}  // namespace oriel
