#include "pages/logic/spooler_messages.h"

#include "platform/spooler.h"

namespace oriel {
namespace {

std::string Quoted(std::string_view name) {
  std::string text;
  text.reserve(name.size() + 2);
  text.append("\"").append(name).append("\"");
  return text;
}

std::string RefusalMessage(std::string_view what, std::string_view call, std::uint32_t error,
                           const SystemTextFunction& systemText) {
  if (error == 0 || error == kErrorCancelled) return {};
  std::string text(what);
  text.append(": ").append(call).append(" failed.\n\n");
  return text + SystemErrorParagraphs(error, systemText);
}

}  // namespace

std::string ListFailureMessage(std::string_view list, std::string_view call, std::uint32_t error,
                               const SystemTextFunction& systemText) {
  std::string text = "The ";
  text.append(list).append(" could not be read: ").append(call).append(" failed.\n\n");
  return text + SystemErrorParagraphs(error, systemText);
}

std::string AddPortFailureMessage(std::string_view monitorName, std::uint32_t error,
                                  const SystemTextFunction& systemText) {
  return RefusalMessage("The port type " + Quoted(monitorName) + " did not add a port", "AddPortA", error,
                        systemText);
}

std::string ConfigurePortFailureMessage(std::string_view portName, std::uint32_t error,
                                        const SystemTextFunction& systemText) {
  return RefusalMessage("The port " + Quoted(portName) + " was not configured", "ConfigurePortA", error,
                        systemText);
}

std::string PortPageEndMessage(const std::optional<std::string>& installError, bool errorShown) {
  if (installError) {
    std::string text = "The printer was not installed: the installation stopped on an internal error. " +
                       std::string(kOrielFault);
    if (!installError->empty()) text += "\n\n" + *installError;
    return text;
  }
  if (errorShown) return {};
  return "The printer was not installed: the port selection page could not be opened. Close other programs, "
         "then run Oriel again; if this message comes back, please report it.";
}

}  // namespace oriel
