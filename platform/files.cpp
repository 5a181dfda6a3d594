#include "platform/files.h"

#include <algorithm>

namespace oriel {
namespace {

bool SameNameIgnoringCase(const std::u16string& a, const std::u16string& b) {
  const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; };
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

// Where the system code page is UTF-8, WideCharToMultiByte refuses
// WC_NO_BEST_FIT_CHARS and lpUsedDefaultChar; without them it takes every
// code page, and a best-fit or default character shows in the way back:
// https://learn.microsoft.com/en-us/windows/win32/api/stringapiset/nf-stringapiset-widechartomultibyte
std::optional<std::string> InCodePage(FileSystem& files, const std::u16string& name) {
  std::optional<std::string> converted = files.ToCodePage(name, 0, nullptr);
  if (!converted || converted->empty() || files.FromCodePage(*converted) != name) return std::nullopt;
  return converted;
}

}  // namespace

std::uint32_t ReplaceableAttributes(std::uint32_t attributes) {
  const std::uint32_t kept = attributes & ~(kFileAttributeReadOnly | kFileAttributeHidden);
  return kept == attributes || kept != 0 ? kept : kFileAttributeNormal;
}

ProgramFolder FindProgramFolder(FileSystem& files) {
  const std::u16string folder = files.ProgramFolderName();
  if (folder.empty() || SameNameIgnoringCase(folder, files.CurrentDirectoryName())) return {};
  ProgramFolder found;
  found.shown = Utf8FromUtf16(folder);
  if (auto converted = InCodePage(files, folder)) {
    found.path = std::move(*converted);
  } else if (const std::u16string shortName = files.ShortPath(folder); !shortName.empty()) {
    if (auto convertedShort = InCodePage(files, shortName)) found.path = std::move(*convertedShort);
  }
  return found;
}

std::string Utf8FromUtf16(const std::u16string& text) {
  std::string utf8;
  utf8.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // a lone surrogate
    }
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | (c >> 18));
      utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

}  // namespace oriel
