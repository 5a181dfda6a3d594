// make_scrambled "<text>" <key> [length]
// Prints the letters for a new ScrambledName and a line ready to paste into
// catalogue/scrambled_names.cpp. The key may be decimal or 0x-prefixed hex.
// With a length, the text is padded with zero bytes to that many bytes: an
// entry keeps its length while showing a shorter name.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "catalogue/descrambler.h"

namespace {

bool ParseKey(const char* arg, unsigned& key) {
  char* end = nullptr;
  const unsigned long value = std::strtoul(arg, &end, 0);
  if (end == arg || *end != '\0' || value > 0xFFFFu || arg[0] == '-') return false;
  key = static_cast<unsigned>(value);
  return true;
}

// The text as a C++ literal, for the comment beside the entry.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char ch : text) {
    const auto byte = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (byte < 0x20 || byte >= 0x7F) {
      static constexpr char kHex[] = "0123456789ABCDEF";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
  unsigned key = 0;
  unsigned long length = 0;
  char* end = nullptr;
  if ((argc != 3 && argc != 4) || !ParseKey(argv[2], key) ||
      (argc == 4 && ((length = std::strtoul(argv[3], &end, 10)) > 4096 || end == argv[3] || *end != '\0'))) {
    std::fprintf(stderr, "usage: make_scrambled \"<text>\" <key 0..65535> [length in bytes]\n");
    return 2;
  }
  std::string text = argv[1];
  if (argc == 4) {
    if (length < text.size()) {
      std::fprintf(stderr, "make_scrambled: the text is longer than %lu bytes\n", length);
      return 2;
    }
    text.resize(length, '\0');
  }
  const std::string letters = oriel::Scramble(text, key);
  if (oriel::Descramble(letters, key) != text) {
    std::fprintf(stderr, "make_scrambled: round trip failed\n");
    return 1;
  }
  std::printf("%s\n", letters.c_str());
  std::printf("    {\"%s\", 0x%04X},  // %s, %zu bytes\n", letters.c_str(), key, Quoted(text).c_str(),
              text.size());
  return 0;
}
