#pragma once
// The system's text for an error code, and what to tell the user to do about
// the codes people commonly meet when installing printers.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace oriel {

// The system's own text for an error code, in the same 8-bit code page as
// the names it goes into a message with.
using SystemTextFunction = std::function<std::string(std::uint32_t)>;

// The package and driver an installation used. Only a message about an
// installation has them, so only there do the hints that name them apply.
struct InstallSubject {
  std::string_view packageFolder;
  std::string_view environment;
  std::string_view driverName;
};

// Ends every message about a fault in Oriel itself rather than in the PC.
inline constexpr std::string_view kOrielFault =
    "This is a fault in Oriel, not in this PC: please report this message (Ctrl+C copies it).";

// The sentence that tells the user what to do about a system error code;
// empty for codes without one.
std::string ErrorHint(std::uint32_t error, const InstallSubject* installation = nullptr);

// "System error <code>: <system's text>".
std::string SystemErrorLine(std::uint32_t error, const SystemTextFunction& systemText);

// That line, then the code's hint, if it has
// one, as a paragraph of its own.
std::string SystemErrorParagraphs(std::uint32_t error, const SystemTextFunction& systemText,
                                  const InstallSubject* installation = nullptr);

}  // namespace oriel
