#pragma once
// What the port page, the port creation dialog and the settings page say when
// the spooler refuses them, in the 8-bit code page of the names they hold.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pages/logic/error_hints.h"

namespace oriel {

// A list the spooler would not give: which list, the call, the system's text
// and, for the errors people commonly meet, what to do.
std::string ListFailureMessage(std::string_view list, std::string_view call, std::uint32_t error,
                               const SystemTextFunction& systemText);

// A monitor that refused AddPortA or ConfigurePortA. Empty for success and
// for a dialog the user cancelled (1223), which need no message.
std::string AddPortFailureMessage(std::string_view monitorName, std::uint32_t error,
                                  const SystemTextFunction& systemText);
std::string ConfigurePortFailureMessage(std::string_view portName, std::uint32_t error,
                                        const SystemTextFunction& systemText);

// The settings page's message after a port page that ended without an
// installation outcome. installError: the text of the exception Install
// stopped on. errorShown: the page ended on an exception outside Install and
// has said so already, so nothing more is to be said (empty).
std::string PortPageEndMessage(const std::optional<std::string>& installError, bool errorShown);

}  // namespace oriel
