#include "pages/logic/error_hints.h"

#include <string>

namespace oriel {
namespace {

// What to do about the errors people meet when installing printers. In a
// text, <folder> and <environment> stand for the package and its spooler
// environment.
struct Hint {
  std::uint32_t errors[2];  // one code, or two that mean the same; 0 pads
  std::string_view text;
};
constexpr Hint kHints[] = {
    {{1722, 0}, "The Print Spooler service is not running: start it, then start Oriel again."},
    {{5, 740}, "Administrator rights are needed: start Oriel again with \"Run as administrator\"."},
    {{1796, 0}, "The port is unknown: connect the printer and switch it on, or create the port with \"Create "
                "Port...\", then press Install again."},
    {{1797, 0}, "The print spooler has no printer driver \"<driver>\" for its own environment, so no printer can "
                "use it. Oriel registered the driver for \"<environment>\" from \"<folder>\"; where that is not "
                "the spooler's environment, this package does not suit this Windows."},
    {{3013, 3014}, "The system's driver policy refused this printer driver: ask your administrator to allow it."},
    {{193, 216}, "The package in \"<folder>\" holds files for another kind of Windows than the spooler environment "
                 "\"<environment>\": put the matching package there."},
    {{32, 0}, "A file is in use: close the programs that are printing, then press Install again."},
    {{112, 0}, "The disk is full: free some space, then press Install again."},
};

void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view value) {
  for (std::size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + value.size())) {
    text.replace(at, placeholder.size(), value);
  }
}

}  // namespace

std::string ErrorHint(std::uint32_t error, std::string_view packageFolder, std::string_view environment,
                      std::string_view driverName) {
  for (const Hint& hint : kHints) {
    if (error == 0 || (hint.errors[0] != error && hint.errors[1] != error)) continue;
    std::string text(hint.text);
    ReplaceAll(text, "<folder>", packageFolder);
    ReplaceAll(text, "<environment>", environment);
    ReplaceAll(text, "<driver>", driverName);
    return text;
  }
  return {};
}

std::string SystemErrorParagraphs(std::uint32_t error, const SystemTextFunction& systemText,
                                  std::string_view packageFolder, std::string_view environment,
                                  std::string_view driverName) {
  std::string text = "System error " + std::to_string(error) + ": " + systemText(error);
  if (std::string hint = ErrorHint(error, packageFolder, environment, driverName); !hint.empty()) {
    text += "\n\n" + hint;
  }
  return text;
}

}  // namespace oriel
