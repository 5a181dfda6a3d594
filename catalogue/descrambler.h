#pragma once
#include <cstdint>
#include <string>

namespace oriel {

// Turns a literal of capital-letter pairs into its text under a 16-bit key.
std::string Descramble(std::string letters, unsigned key);

// The inverse, for authoring entries: the letters that Descramble turns back
// into text under the same key.
std::string Scramble(const std::string& text, unsigned key);

struct ScrambledName {
  const char* letters;
  std::uint16_t key;
};

inline constexpr int kScrambledNameCount = 16;
inline constexpr int kInitialPrinterNameEntry = 15;

// Entries 0..14 are the model list's display names (row order); 15 is the
// printer-name box's initial text. The caller checks the index: one outside
// 0..15 ends the process.
const ScrambledName& ScrambledNameEntry(int entry);

// Descramble(entry.letters, entry.key).
std::string DisplayText(int entry);

}  // namespace oriel
