#include <array>
#include <cstdlib>

#include "catalogue/descrambler.h"

namespace oriel {
namespace {

// Made with tools/make_scrambled; the comment is what each entry reads as.
// Rows 0..14 follow the model catalogue's row order. Each text is the row's
// driver name, so the list and the printer-name box show the name Install
// gives the printer; zero bytes pad it to the entry's length, and the
// controls show the text up to the first of them.
constexpr std::array<ScrambledName, kScrambledNameCount> kEntries = {{
    {"AIABHRAJJUCWGVBTAEBCACIOFMHFIUBFGPEEFMAEASIMDKAV", 0x5A17},  // "RK-T410(No Cut) Series\x00\x00", 24 bytes
    {"FPIMBZCKDDJGBOBCFAJHERDEJMASAVJVGRHZCAIOCP", 0xC3E1},  // "RK-T410(Cut) Series\x00\x00", 21 bytes
    {"ERDBIMCNBCIZBDEUGJAZCCAUEBFEBLIACJBCAXCZEJBYJH", 0x2B9D},  // "RK-T420(No Cut) Series\x00", 23 bytes
    {"INBZFZJJDZDFGXBCFUDWEKFACWCJJCAYEJIVBFBU", 0x8F42},  // "RK-T420(Cut) Series\x00", 20 bytes
    {"CREDIBAICRBGCEJMERHGGAFBAICOBH", 0x17C8},  // "RK-T430 Series\x00", 15 bytes
    {"GYIDJACPIGCFIUBGBUFNFSAIJJIYDMJG", 0xE65B},  // "RK-T430E Series\x00", 16 bytes
    {"BFHZAVBJBWGWILDSHYBIBBBAFHHWINEH", 0x4D03},  // "RK-MT430 Series\x00", 16 bytes
    {"HSFMDDGRBNGPGVHHGTBEBZFMBRHKHBEC", 0x9AB6},  // "RK-WT430 Series\x00", 16 bytes
    {"ECDDCPDAEYDHALCGAGFEDQEYAC", 0x3C7E},  // "V-5yyK Series", 13 bytes
    {"FBCXAGDVECBYHMDQCNEUGNBJBAJFDT", 0xD129},  // "RK-T440 Series\x00", 15 bytes
    {"CIHUHPIEBUDOFSEDHEJQHUDLBWHPAPID", 0x6E94},  // "RK-KT410 Series\x00", 16 bytes
    {"JNEDAHEIJEEZCIIFGWJKAMBMGGGRJVCH", 0xA5F0},  // "RK-KT430 Series\x00", 16 bytes
    {"DLHJJMIDEZBAHZHRGZHEEWGBFHJSGQHU", 0x0B6D},  // "RK-KT440 Series\x00", 16 bytes
    {"GFGAAPDDDDHTGRBCEWDUJNGWDNIFEXFK", 0xF38A},  // "RK-MT440 Series\x00", 16 bytes
    {"BMFUIIEHBKCBBHHLIQGBGKCFDYFYBWBB", 0x7452},  // "RK-WT440 Series\x00", 16 bytes
    {"JAHCAIAWJCJHDABDCFBWGLBWHTBLIDDOFKIKINFLGP", 0xB8C5},  // "RK-T410(Cut) Series\x00\x00", 21 bytes: row 1's name
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
