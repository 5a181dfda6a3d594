#include "catalogue/descrambler.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <stdexcept>
#include <string>

#include "catalogue/tables.h"

namespace oriel {
namespace {

std::string Bytes(std::initializer_list<unsigned char> bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// ---- Pass 1: letter pairs ----

TEST(DescrambleLength, EmptyAndSingleLetterGiveEmptyText) {
  for (unsigned key : {0u, 0x1234u, 0xFFFFu}) {
    EXPECT_EQ(Descramble("", key), "");
    EXPECT_EQ(Descramble("A", key), "");
    EXPECT_EQ(Descramble("Z", key), "");
  }
}

TEST(DescrambleLength, UnpairedLastLetterIsIgnored) {
  for (unsigned key : {0u, 0x00FFu, 0xBEEFu}) {
    const std::string even = Descramble("RKTFOURXQZ", key);
    EXPECT_EQ(even.size(), 5u);
    EXPECT_EQ(Descramble("RKTFOURXQZA", key), even);
    EXPECT_EQ(Descramble("RKTFOURXQZZ", key), even);
  }
}

// Under key 0 the first byte is not masked, so it shows the pair's byte.
TEST(DescramblePairs, FirstPairByteVisibleUnderKeyZero) {
  EXPECT_EQ(Descramble("AA", 0), Bytes({0}));
  EXPECT_EQ(Descramble("JV", 0), Bytes({255}));
  EXPECT_EQ(Descramble("JW", 0), Bytes({0}));    // 256 wraps
  EXPECT_EQ(Descramble("ZZ", 0), Bytes({163}));  // 675 wraps
  EXPECT_EQ(Descramble("@A", 0), Bytes({230}));  // -26 wraps
  EXPECT_EQ(Descramble("BA", 0), Bytes({26}));
}

// A wrapped pair must feed the running state the same byte as its in-range
// twin, or every later byte would differ.
TEST(DescramblePairs, WrappedPairsMatchTheirTwinsAtEveryPosition) {
  for (unsigned key : {0u, 0x5A17u, 0xFFFFu}) {
    EXPECT_EQ(Descramble("JWJWJWJW", key), Descramble("AAAAAAAA", key));
    EXPECT_EQ(Descramble("QRZZZZJV", key), Descramble("QRGHGHJV", key));
    EXPECT_EQ(Descramble("@A@AKK", key), Descramble("IWIWKK", key));
  }
  // Rescrambling exposes the intermediate bytes of every position.
  EXPECT_EQ(Scramble(Descramble("JWZZ@AJV", 0x4D03), 0x4D03), "AAGHIWJV");
}

// Worked by hand with multiplier 20021 and increment 12345:
//   T = 255, 0, 163
//   out0 = 255 ^ 0x00 = 0xFF; state = (0 + 255) * 20021 + 12345 = 0x1704 (mod 2^16)
//   out1 =   0 ^ 0x17 = 0x17; state = (0x1704 + 0) * 20021 + 12345 = 0x2C0D
//   out2 = 163 ^ 0x2C = 0x8F
// Feeding the state the output byte instead would give a different out2.
TEST(DescramblePairs, RunningStateIsFedTheIntermediateByte) {
  EXPECT_EQ(Descramble("JVAAZZ", 0), Bytes({0xFF, 0x17, 0x8F}));
}

// ---- Pass 2: the key ----

TEST(DescrambleKey, SameInputSameText) {
  const std::string letters = "HSFMDDGRBNGPGVHHGTBD";
  EXPECT_EQ(Descramble(letters, 0x9AB6), Descramble(letters, 0x9AB6));
}

TEST(DescrambleKey, OnlyLow16BitsOfKeyCount) {
  const std::string letters = "CREDIBAICRBGCEJM";
  EXPECT_EQ(Descramble(letters, 0x1ABCDu), Descramble(letters, 0xABCDu));
  EXPECT_EQ(Descramble(letters, 0xFFFF0000u), Descramble(letters, 0u));
}

TEST(DescrambleKey, HighByteOfKeySetsFirstByte) {
  std::set<char> firstBytes;
  for (unsigned high = 0; high < 256; ++high) firstBytes.insert(Descramble("QQ", high << 8 | 0x5A)[0]);
  EXPECT_EQ(firstBytes.size(), 256u);
}

TEST(DescrambleKey, FirstByteIgnoresLowByteAndLaterPairs) {
  const char first = Descramble("MNAAAA", 0x7100)[0];
  for (unsigned low = 0; low < 256; ++low) {
    EXPECT_EQ(Descramble("MNAAAA", 0x7100 | low)[0], first);
    EXPECT_EQ(Descramble("MNJVZZ", 0x7100 | low)[0], first);
  }
}

TEST(DescrambleKey, LaterBytesDependOnLowByteOfKey) {
  const std::string letters = "MNAAAAAA";
  const std::string a = Descramble(letters, 0x7100);
  const std::string b = Descramble(letters, 0x7101);
  EXPECT_EQ(a[0], b[0]);
  EXPECT_NE(a[1], b[1]);
}

TEST(DescrambleKey, LaterBytesDependOnEveryEarlierPair) {
  const std::string base = "ABCDEFGHIJKLMNOP";  // every second letter can grow by one
  const std::string baseText = Descramble(base, 0x2B9D);
  for (std::size_t pair = 0; pair + 1 < base.size() / 2; ++pair) {
    std::string changed = base;
    ++changed[2 * pair + 1];  // this pair's byte grows by one
    const std::string text = Descramble(changed, 0x2B9D);
    SCOPED_TRACE(pair);
    EXPECT_EQ(text.substr(0, pair), baseText.substr(0, pair));
    EXPECT_NE(text[pair], baseText[pair]);
    EXPECT_NE(text[pair + 1], baseText[pair + 1]);
  }
}

// ---- Scramble, the authoring inverse ----

TEST(Scramble, RoundTripsEveryByteValue) {
  std::string allBytes;
  for (int b = 0; b < 256; ++b) allBytes.push_back(static_cast<char>(b));
  allBytes += std::string("\0\0\xFF\x80", 4);
  for (unsigned key : {0u, 0x00FFu, 0x8000u, 0xB8C5u, 0xFFFFu}) {
    const std::string letters = Scramble(allBytes, key);
    SCOPED_TRACE(key);
    ASSERT_EQ(letters.size(), 2 * allBytes.size());
    EXPECT_EQ(letters.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos);
    EXPECT_EQ(Descramble(letters, key), allBytes);
  }
  EXPECT_EQ(Scramble("", 0x1234), "");
}

// ---- The stored entries ----

constexpr std::size_t kTextLengths[kScrambledNameCount] = {24, 21, 23, 20, 15, 16, 16, 16,
                                                           13, 15, 16, 16, 16, 16, 16, 21};

TEST(ScrambledNames, LettersAreCapitalPairsOfTheTabledLength) {
  for (int i = 0; i < kScrambledNameCount; ++i) {
    const std::string letters = ScrambledNameEntry(i).letters;
    SCOPED_TRACE(i);
    EXPECT_EQ(letters.size(), 2 * kTextLengths[i]);
    EXPECT_EQ(letters.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), std::string::npos);
    EXPECT_EQ(DisplayText(i).size(), kTextLengths[i]);
  }
}

// What a control shows: the text up to its first zero byte.
std::string Shown(const std::string& text) { return text.substr(0, text.find('\0')); }

TEST(ScrambledNames, KeysAndRowTextsAreDistinct) {
  std::set<unsigned> keys;
  std::set<std::string> texts;
  for (int i = 0; i < kScrambledNameCount; ++i) {
    keys.insert(ScrambledNameEntry(i).key);
    if (i < kModelCount) texts.insert(Shown(DisplayText(i)));
  }
  EXPECT_EQ(keys.size(), static_cast<std::size_t>(kScrambledNameCount));
  EXPECT_EQ(texts.size(), static_cast<std::size_t>(kModelCount));
}

// Printable up to the first zero, nothing but zeros after it.
TEST(ScrambledNames, TextsArePrintableAsciiThenZeroPadding) {
  for (int i = 0; i < kScrambledNameCount; ++i) {
    const std::string text = DisplayText(i);
    const std::string shown = Shown(text);
    SCOPED_TRACE(i);
    for (const char ch : shown) {
      EXPECT_GE(ch, 0x20);
      EXPECT_LE(ch, 0x7E);
    }
    ASSERT_FALSE(shown.empty());
    EXPECT_NE(shown.front(), ' ');
    EXPECT_NE(shown.back(), ' ');
    EXPECT_EQ(text.find_first_not_of('\0', shown.size()), std::string::npos);
  }
}

// The literals are exactly what the authoring tool makes from the texts.
TEST(ScrambledNames, LiteralsRoundTripThroughScramble) {
  for (int i = 0; i < kScrambledNameCount; ++i) {
    const ScrambledName& entry = ScrambledNameEntry(i);
    EXPECT_EQ(Scramble(DisplayText(i), entry.key), entry.letters) << i;
  }
}

// The names shown are the names Install gives the printer; the box opens on
// row 1, the row selected then.
TEST(ScrambledNames, ShowTheDriverNames) {
  for (int i = 0; i < kModelCount; ++i) {
    EXPECT_EQ(Shown(DisplayText(i)), ModelCatalogueRow(i).driverName) << i;
  }
  EXPECT_EQ(kInitialPrinterNameEntry, 15);
  EXPECT_EQ(Shown(DisplayText(kInitialPrinterNameEntry)), ModelCatalogueRow(1).driverName);
}

TEST(ScrambledNamesDeathTest, EntryOutsideTableAborts) {
  EXPECT_DEATH(ScrambledNameEntry(-1), "");
  EXPECT_DEATH(ScrambledNameEntry(kScrambledNameCount), "");
  EXPECT_DEATH(DisplayText(kScrambledNameCount), "");
}

}  // namespace
}  // namespace oriel
