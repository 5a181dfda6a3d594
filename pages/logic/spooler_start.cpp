#include "pages/logic/spooler_start.h"

#include <algorithm>

namespace oriel {

namespace {
constexpr std::uint32_t kRpcServerUnavailable = 1722;
constexpr std::uint32_t kRpcCallFailed = 1726;
constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
constexpr std::uint32_t kErrorServiceSpecificError = 1066;

std::string CallName(const ServiceCallResult& result) {
  return result.call != nullptr ? result.call : "a service-control call";
}

SpoolerStartFailure Refused(const ServiceCallResult& result) {
  SpoolerStartFailure failure;
  failure.call = CallName(result);
  failure.error = result.error;
  return failure;
}

SpoolerStartFailure StoppedAgain(const ServiceStatus& status) {
  SpoolerStartFailure failure;
  failure.kind = SpoolerStartFailure::Kind::StoppedAgain;
  failure.serviceSpecific = status.win32ExitCode == kErrorServiceSpecificError;
  failure.error = failure.serviceSpecific ? status.serviceSpecificExitCode : status.win32ExitCode;
  return failure;
}

SpoolerStartFailure NotRunning(const ServiceStatus& status, bool stalled) {
  SpoolerStartFailure failure;
  failure.kind = SpoolerStartFailure::Kind::NotRunning;
  failure.state = status.state;
  failure.stalled = stalled;
  return failure;
}

// Paced and given up as Microsoft's sample does, "Starting a Service":
// https://learn.microsoft.com/en-us/windows/win32/services/starting-a-service
std::optional<SpoolerStartFailure> StartAndWait(SpoolerService& service, SystemServices& system) {
  // Someone else may have started it since the list call failed.
  if (const ServiceCallResult started = service.Start();
      started.error != 0 && started.error != kErrorServiceAlreadyRunning) {
    return Refused(started);
  }
  ServiceStatus status;
  std::uint32_t waited = 0;
  std::uint32_t sinceProgress = 0;
  std::uint32_t checkPoint = 0;
  for (bool first = true;; first = false) {
    if (const ServiceCallResult queried = service.QueryStatus(status); queried.error != 0) return Refused(queried);
    if (status.state == kServiceRunning) return std::nullopt;
    // A crash on start, commonly a print processor or port monitor that
    // does not load: no use waiting on.
    if (status.state == kServiceStopped) return StoppedAgain(status);
    if (status.state != kServiceStartPending && status.state != kServiceStopPending) return NotRunning(status, false);
    if (first || status.checkPoint > checkPoint) {
      checkPoint = status.checkPoint;
      sinceProgress = 0;
    } else if (sinceProgress >= status.waitHint) {  // the sample's clock has passed the hint by then
      return NotRunning(status, true);
    }
    if (waited >= kSpoolerStartWaitMs) return NotRunning(status, false);
    const std::uint32_t step =
        std::min(std::clamp<std::uint32_t>(status.waitHint / 10, 1000, 10000), kSpoolerStartWaitMs - waited);
    system.Sleep(step);
    waited += step;
    sinceProgress += step;
  }
}

std::string StateName(std::uint32_t state) {
  switch (state) {
    case kServiceStopped: return "stopped";
    case kServiceStartPending: return "start pending";
    case kServiceStopPending: return "stop pending";
    case kServiceRunning: return "running";
    case 5: return "continue pending";
    case 6: return "pause pending";
    case 7: return "paused";
    default: return std::to_string(state);
  }
}

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
    if (const ServiceCallResult result = service.SetAutomatic(); result.error != 0) return Refused(result);
  }
  std::optional<SpoolerStartFailure> failure = StartAndWait(service, system);
  // Whoever disabled it did so for a reason; a spooler that does not run
  // anyway is no reason to leave it changed.
  if (failure && disabled) failure->disabledAgain = service.SetDisabled();
  return failure;
}

std::string SpoolerStartFailureMessage(const SpoolerStartFailure& failure, const SystemTextFunction& systemText) {
  std::string text;
  switch (failure.kind) {
    case SpoolerStartFailure::Kind::Refused:
      text = "The Print Spooler service was not started: " + failure.call + " failed.\n\n" +
             SystemErrorParagraphs(failure.error, systemText);
      break;
    case SpoolerStartFailure::Kind::StoppedAgain:
      text = "The Print Spooler service stopped again right after it started";
      if (failure.serviceSpecific) {
        text += ", with its own error code " + std::to_string(failure.error) + ".";
      } else if (failure.error == 0) {
        text += ", without reporting an error.";
      } else {
        text += ".\n\n" + SystemErrorParagraphs(failure.error, systemText);
      }
      text += "\n\nA print processor or port monitor that fails to load commonly causes this; Windows' System "
              "event log names the service's error.";
      break;
    case SpoolerStartFailure::Kind::NotRunning:
      text = "The Print Spooler service was started but did not report running ";
      text += failure.stalled ? "and made no progress for longer than it said it would need."
                              : "within " + std::to_string(kSpoolerStartWaitMs / 1000) + " seconds.";
      text += " Its last reported state was \"" + StateName(failure.state) + "\".";
      break;
  }
  if (failure.disabledAgain) {
    if (failure.disabledAgain->error == 0) {
      text += "\n\nThe service was set back to Disabled, as it was before.";
    } else {
      text += "\n\nThe service could not be set back to Disabled and now starts automatically: " +
              CallName(*failure.disabledAgain) + " failed.\n\n" +
              SystemErrorParagraphs(failure.disabledAgain->error, systemText);
    }
  }
  return text;
}

}  // namespace oriel
