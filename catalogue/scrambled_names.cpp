#include <array>
#include <cstdlib>

#include "catalogue/descrambler.h"

namespace oriel {
namespace {

// Made with tools/make_scrambled; the comment is what each entry reads as.
// Rows 0..14 follow the model catalogue's row order.
constexpr std::array<ScrambledName, kScrambledNameCount> kEntries = {{
    {"AIABHRAJJUCWGVBLJGFYHIIPDCBFCOAXFLBWBAAZDZAPDCDE", 0x5A17},  // "RK-T410 (No Cut) Printer"
    {"FPIMBZCKDDJGBOAUDZHYCSAJFLILJNJBDABWAQJUIT", 0xC3E1},  // "RK-T410 (Cut) Printer"
    {"ERDBIMCNBCIZBDEMDDDMAEJQAPACHSJKCJGMCSIOAWBZFE", 0x2B9D},  // "RK-T420 (No Cut) Series"
    {"INBZFZJJDZDFGXAUCYJTIGIGAVBXFZBXHODLEDFT", 0x8F42},  // "RK-T420 (Cut) Series"
    {"CREDIBAICRBGCEJMESDHGLCVHUCNHA", 0x17C8},  // "RK-T430 Printer"
    {"GYIDJACPIGCFIUBGBUFKENFSDIBUBQDR", 0xE65B},  // "RK-T430E Printer"
    {"BFHZAVBJBWGWILDSHYBHDPDEIWAJGXBS", 0x4D03},  // "RK-MT430 Printer"
    {"HSFMDDGRBNGPGVHHGTBDESCLBXASEWDM", 0x9AB6},  // "RK-WT430 Printer"
    {"ECDDCPDAEYDHALCGAGFEDQEYAC", 0x3C7E},  // "V-5yyK Series"
    {"FBCXAGDVECBYHMDQCOAVIDEGFMFWFX", 0xD129},  // "RK-T440 Printer"
    {"CIHUHPIEBUDOFSEDHEJPATFDIBHMAIIB", 0x6E94},  // "RK-KT410 Printer"
    {"JNEDAHEIJEEZCIIFGWJNBMBJCGAYGOFP", 0xA5F0},  // "RK-KT430 Printer"
    {"DLHJJMIDEZBAHZHRGZHDHICYEGAODXIQ", 0x0B6D},  // "RK-KT440 Printer"
    {"GFGAAPDDDDHTGRBCEWDTCCBACIHCDQBY", 0xF38A},  // "RK-MT440 Printer"
    {"BMFUIIEHBKCBBHHLIQGCDVCPDGIGIIJK", 0x7452},  // "RK-WT440 Printer"
    {"JNGCJNGTDCHZDWDPDOEWCVFLDGFNJHFPHHBDJTGOBH", 0xB8C5},  // "Oriel Receipt Printer" (printer-name box)
}};

}  // namespace

const ScrambledName& ScrambledNameEntry(int entry) {
  // Callers check the index where it comes in, so one outside the table is a
  // bug: stop here rather than read past it.
  if (entry < 0 || entry >= kScrambledNameCount) std::abort();
  return kEntries[static_cast<std::size_t>(entry)];
}

std::string DisplayText(int entry) {
  const ScrambledName& name = ScrambledNameEntry(entry);
  return Descramble(name.letters, name.key);
}

}  // namespace oriel
