#include "pages/logic/spooler_start.h"

namespace oriel {

namespace {
constexpr std::uint32_t kRpcServerUnavailable = 1722;
constexpr std::uint32_t kRpcCallFailed = 1726;
constexpr std::uint32_t kErrorServiceRequestTimeout = 1053;
}  // namespace

bool SpoolerDoesNotAnswer(std::uint32_t error) { return error == kRpcServerUnavailable || error == kRpcCallFailed; }

std::string StartSpoolerQuestion(bool disabled) {
  if (!disabled) {
    return "The Print Spooler service does not answer, so the ports cannot be listed and no printer can be "
           "installed.\n\nStart the Print Spooler service now?";
  }
  return "The Print Spooler service is disabled, so the ports cannot be listed and no printer can be installed. "
         "It may have been disabled on purpose, to guard against attacks on the print spooler; printing needs it, "
         "though.\n\nSet the Print Spooler service to start automatically, and start it now?";
}

std::optional<SpoolerStartFailure> StartSpooler(SpoolerService& service, SystemServices& system, bool disabled) {
  if (disabled) {
    if (const std::uint32_t error = service.SetAutomatic(); error != 0) {
      return SpoolerStartFailure{"ChangeServiceConfigW", error};
    }
  }
  if (const std::uint32_t error = service.Start(); error != 0) return SpoolerStartFailure{"StartServiceW", error};
  for (std::uint32_t waited = 0;; waited += kSpoolerPollMs) {
    bool running = false;
    if (const std::uint32_t error = service.QueryRunning(running); error != 0) {
      return SpoolerStartFailure{"QueryServiceStatusEx", error};
    }
    if (running) return std::nullopt;
    if (waited >= kSpoolerStartWaitMs) {
      return SpoolerStartFailure{"QueryServiceStatusEx", kErrorServiceRequestTimeout, true};
    }
    system.Sleep(kSpoolerPollMs);
  }
}

std::string SpoolerStartFailureMessage(const SpoolerStartFailure& failure, const SystemTextFunction& systemText) {
  std::string text = failure.timedOut
                         ? "The Print Spooler service was started but was not running after " +
                               std::to_string(kSpoolerStartWaitMs / 1000) + " seconds."
                         : "The Print Spooler service was not started: " + failure.call + " failed.";
  return text + "\n\n" + SystemErrorParagraphs(failure.error, systemText);
}

}  // namespace oriel
