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

// The sentence that tells the user what to do about a system error code;
// empty for codes without one. Folder, environment and driver name the
// package and driver for the codes that mean they do not suit the spooler.
std::string ErrorHint(std::uint32_t error, std::string_view packageFolder, std::string_view environment,
                      std::string_view driverName);

// "System error <code>: <system's text>", then the code's hint, if it has
// one, as a paragraph of its own.
std::string SystemErrorParagraphs(std::uint32_t error, const SystemTextFunction& systemText,
                                  std::string_view packageFolder = {}, std::string_view environment = {},
                                  std::string_view driverName = {});

}  // namespace oriel
