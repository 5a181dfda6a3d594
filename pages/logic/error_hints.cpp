#include "pages/logic/error_hints.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace oriel {
namespace {

// What to do about the errors people meet when installing printers. The
// wizard has ended when an installation's message shows, so a hint never
// sends the user back to a button. <folder>, <environment> and <driver> stand
// for the installation's package, spooler environment and driver.
struct Hint {
  std::uint32_t errors[5];  // one code, or several that mean the same; 0 pads
  bool namesInstallation;
  std::string_view text;
};
constexpr Hint kHints[] = {
    // 1726, 1717, 1727 and 1753 are what a spooler that is stopping,
    // restarting or hung answers.
    {{1722, 1726, 1717, 1727, 1753}, false,
     "The Print Spooler service is not running: start it (where it is disabled, set its startup type to "
     "Automatic first, in Services), then run Oriel again."},
    // Oriel's manifest asks for administrator rights, but Windows XP ignores
    // it: there Oriel has them only from an administrator's account.
    {{5, 740}, false,
     "Windows refused access. Oriel needs administrator rights (on Windows XP, run it from an administrator's "
     "account). Where it has them, this is commonly a policy set by your administrator, security software, or a "
     "file held open by another program: have the refusal lifted or close those programs, then run Oriel again."},
    {{1796, 0}, false,
     "The port is unknown: connect the printer and switch it on, or create the port with \"Create Port...\", "
     "then run Oriel again."},
    // ERROR_UNKNOWN_PRINTER_DRIVER from AddPrinter: the spooler looks the
    // driver up in its own environment, and the package was for another.
    {{1797, 0}, true,
     "This Windows needs the other driver package: a 64-bit Windows takes the x64 package, a 32-bit Windows the "
     "win2k package. Oriel installed the driver \"<driver>\" for \"<environment>\" from \"<folder>\", which "
     "this Windows cannot use for a printer. Make sure each folder holds the package its name says, then run "
     "Oriel again."},
    {{3013, 3014}, false, "The system's driver policy refused this printer driver: ask your administrator to allow it."},
    {{193, 216}, true,
     "The driver files in \"<folder>\" are for another kind of Windows than this one (\"<environment>\"): copy "
     "the complete folder from the printer maker's download there, then run Oriel again."},
    {{32, 0}, false, "A file is in use: close the programs that are printing, then run Oriel again."},
    {{112, 0}, false, "The disk is full: free some space on the system drive, then run Oriel again."},
    // ERROR_KM_DRIVER_BLOCKED: Vista and later take user-mode printer drivers only.
    {{1930, 0}, false,
     "Windows refused the printer driver: since Windows Vista it accepts no kernel-mode printer drivers, and the "
     "driver in this package is of a kind this Windows does not accept. A driver for this Windows from the "
     "printer's maker is needed."},
};

void ReplaceAll(std::string& text, std::string_view placeholder, std::string_view value) {
  for (std::size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + value.size())) {
    text.replace(at, placeholder.size(), value);
  }
}

}  // namespace

std::string ErrorHint(std::uint32_t error, const InstallSubject* installation) {
  for (const Hint& hint : kHints) {
    if (error == 0 || std::find(std::begin(hint.errors), std::end(hint.errors), error) == std::end(hint.errors)) {
      continue;
    }
    if (hint.namesInstallation && installation == nullptr) return {};
    std::string text(hint.text);
    if (installation != nullptr) {
      ReplaceAll(text, "<folder>", installation->packageFolder);
      ReplaceAll(text, "<environment>", installation->environment);
      ReplaceAll(text, "<driver>", installation->driverName);
    }
    return text;
  }
  return {};
}

std::string SystemErrorLine(std::uint32_t error, const SystemTextFunction& systemText) {
  return "System error " + std::to_string(error) + ": " + systemText(error);
}

std::string SystemErrorParagraphs(std::uint32_t error, const SystemTextFunction& systemText,
                                  const InstallSubject* installation) {
  std::string text = SystemErrorLine(error, systemText);
  if (std::string hint = ErrorHint(error, installation); !hint.empty()) text += "\n\n" + hint;
  return text;
}

}  // namespace oriel
