// The descrambler and its authoring inverse over arbitrary keys and bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "catalogue/descrambler.h"
#include "tests/fuzz/fuzz_input.h"

namespace oriel::fuzz {
namespace {

bool OnlyCapitals(const std::string& letters) {
  for (const char c : letters)
    if (c < 'A' || c > 'Z') return false;
  return true;
}

// Letters whose every pair is a byte value (below 256) written the way
// Scramble writes it.
bool Canonical(const std::string& letters) {
  if (letters.size() % 2 != 0 || !OnlyCapitals(letters)) return false;
  for (std::size_t i = 0; i < letters.size(); i += 2)
    if ((letters[i] - 'A') * 26 + (letters[i + 1] - 'A') > 255) return false;
  return true;
}

void CheckEntry(int entry) {
  // An index outside the table ends the process (the unit tests cover it);
  // callers check theirs first, as this one does.
  if (entry < 0 || entry >= kScrambledNameCount) return;
  const ScrambledName& name = ScrambledNameEntry(entry);
  const std::string letters = name.letters;
  FUZZ_CHECK(Canonical(letters));
  FUZZ_CHECK(DisplayText(entry) == Descramble(letters, name.key));
  FUZZ_CHECK(Scramble(DisplayText(entry), name.key) == letters);
}

}  // namespace
}  // namespace oriel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace oriel;
  using namespace oriel::fuzz;
  FuzzInput in(data, size);
  const unsigned key = in.U16();
  // Bits above the low 16 must not matter.
  const unsigned wideKey = key | (static_cast<unsigned>(in.U16()) << 16);
  const std::string bytes = in.Bytes(in.remaining());

  // Arbitrary input taken as letters.
  const std::string text = Descramble(bytes, key);
  FUZZ_CHECK(text.size() == bytes.size() / 2);
  FUZZ_CHECK(Descramble(bytes, wideKey) == text);
  // A trailing unpaired letter is ignored, and each prefix of pairs gives a
  // prefix of the text.
  const std::size_t pairs = bytes.size() / 2;
  FUZZ_CHECK(Descramble(bytes.substr(0, 2 * pairs), key) == text);
  const std::size_t cut = pairs == 0 ? 0 : (bytes.empty() ? 0 : static_cast<unsigned char>(bytes[0]) % (pairs + 1));
  FUZZ_CHECK(Descramble(bytes.substr(0, 2 * cut), key) == text.substr(0, cut));
  // The first byte sees only the first pair and the key's high byte.
  if (!text.empty()) FUZZ_CHECK(Descramble(bytes, key ^ 0xFFu)[0] == text[0]);
  if (Canonical(bytes)) FUZZ_CHECK(Scramble(text, key) == bytes);

  // Arbitrary input taken as text.
  const std::string letters = Scramble(bytes, key);
  FUZZ_CHECK(letters.size() == 2 * bytes.size());
  FUZZ_CHECK(OnlyCapitals(letters));
  FUZZ_CHECK(Canonical(letters));
  FUZZ_CHECK(Descramble(letters, key) == bytes);
  FUZZ_CHECK(Scramble(bytes, wideKey) == letters);

  CheckEntry(static_cast<int>(static_cast<std::int16_t>(key)) % 20);
  return 0;
}
