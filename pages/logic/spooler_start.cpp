#include "pages/logic/spooler_start.h"

#include <algorithm>

#include "pages/logic/spooler_messages.h"

namespace oriel {

namespace {
constexpr std::uint32_t kRpcServerUnavailable = 1722;
constexpr std::uint32_t kRpcCallFailed = 1726;
// A spooler that is stopping, restarting or hung answers these too:
// RPC_S_UNKNOWN_IF (its interface is not registered), RPC_S_CALL_FAILED_DNE,
// EPT_S_NOT_REGISTERED (its endpoint is not):
// https://learn.microsoft.com/en-us/windows/win32/debug/system-error-codes--1700-3999-
constexpr std::uint32_t kRpcUnknownInterface = 1717;
constexpr std::uint32_t kRpcCallNotExecuted = 1727;
constexpr std::uint32_t kEndpointNotRegistered = 1753;
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

std::optional<SpoolerStartFailure> SessionEnded() {
  SpoolerStartFailure failure;
  failure.kind = SpoolerStartFailure::Kind::SessionEnding;
  return failure;
}

}  // namespace

// Paced and given up as Microsoft's sample does, "Starting a Service":
// https://learn.microsoft.com/en-us/windows/win32/services/starting-a-service
std::optional<SpoolerStartFailure> SpoolerStart::StartAndWait() {
  // Someone else may have started it since the list call failed.
  if (const ServiceCallResult started = service_.Start();
      started.error != 0 && started.error != kErrorServiceAlreadyRunning) {
    return Refused(started);
  }
  ServiceStatus status;
  std::uint32_t waited = 0;
  std::uint32_t sinceProgress = 0;
  std::uint32_t state = 0;
  std::uint32_t checkPoint = 0;
  for (bool first = true;; first = false) {
    if (const ServiceCallResult queried = service_.QueryStatus(status); queried.error != 0) {
      SpoolerStartFailure failure = Refused(queried);
      failure.mayStillStart = true;
      return failure;
    }
    if (status.state == kServiceRunning) return std::nullopt;
    // A crash on start, commonly a print processor or port monitor that
    // does not load: no use waiting on.
    if (status.state == kServiceStopped) return StoppedAgain(status);
    if (ending_) return SessionEnded();
    if (status.state != kServiceStartPending && status.state != kServiceStopPending) {
      SpoolerStartFailure failure = NotRunning(status, false);
      failure.mayStillStart = true;
      return failure;
    }
    // A new state numbers its checkpoints anew.
    if (first || status.state != state || status.checkPoint > checkPoint) {
      state = status.state;
      checkPoint = status.checkPoint;
      sinceProgress = 0;
    } else if (status.state == kServiceStartPending && sinceProgress > status.waitHint) {
      // A stop under way is waited for to the end, for its exit code. And
      // strictly past the hint: Sleep may return early, so the sleeps' sum
      // reaching it is no proof that the hint has passed.
      // https://learn.microsoft.com/en-us/windows/win32/api/synchapi/nf-synchapi-sleep
      SpoolerStartFailure failure = NotRunning(status, true);
      failure.mayStillStart = true;
      return failure;
    }
    if (waited >= kSpoolerStartWaitMs) {
      SpoolerStartFailure failure = NotRunning(status, false);
      failure.mayStillStart = status.state == kServiceStartPending;
      return failure;
    }
    const std::uint32_t step =
        std::min(std::clamp<std::uint32_t>(status.waitHint / 10, 1000, 10000), kSpoolerStartWaitMs - waited);
    system_.Sleep(step);
    waited += step;
    sinceProgress += step;
  }
}

namespace {

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

bool SpoolerDoesNotAnswer(std::uint32_t error) {
  return error == kRpcServerUnavailable || error == kRpcCallFailed || error == kRpcUnknownInterface ||
         error == kRpcCallNotExecuted || error == kEndpointNotRegistered;
}

std::string StartSpoolerQuestion(bool disabled) {
  if (!disabled) {
    return "The Print Spooler service does not answer, so the ports cannot be listed and no printer can be "
           "installed.\n\nStart the Print Spooler service now?";
  }
  return "The Print Spooler service is disabled, so the ports cannot be listed and no printer can be installed. "
         "It may have been disabled on purpose, to guard against attacks on the print spooler; printing needs it, "
         "though.\n\nSet the Print Spooler service to start automatically, and start it now?";
}

SpoolerStartOffer OfferSpoolerStart(SpoolerService& service) {
  ServiceStartKind kind = ServiceStartKind::Other;
  SpoolerStartOffer offer;
  offer.disabled = service.QueryStartKind(kind).error == 0 && kind == ServiceStartKind::Disabled;
  offer.question = StartSpoolerQuestion(offer.disabled);
  return offer;
}

// Only the thread that sets the service to start automatically knows when
// that call has gone through; the one that answers the session's end waits
// that long at most. Each marks its own step before it reads the other's.
std::optional<SpoolerStartFailure> SpoolerStart::SetAutomatic() {
  settingAutomatic_ = true;
  if (ending_) {
    settingAutomatic_ = false;
    return SessionEnded();
  }
  const ServiceCallResult result = service_.SetAutomatic();
  automatic_ = result.error == 0;
  settingAutomatic_ = false;
  if (result.error != 0) return Refused(result);
  return std::nullopt;
}

void SpoolerStart::SessionEnding() {
  ending_ = true;
  constexpr std::uint32_t kPauseMs = 10;
  for (std::uint32_t waited = 0; settingAutomatic_ && waited < 2000; waited += kPauseMs) system_.Sleep(kPauseMs);
  if (automatic_ && !putBack_.exchange(true)) service_.SetDisabled();
}

std::optional<SpoolerStartFailure> SpoolerStart::Run() {
  if (disabled_) {
    if (auto failure = SetAutomatic()) return failure;
  }
  std::optional<SpoolerStartFailure> failure = StartAndWait();
  // Whoever disabled it did so for a reason; a spooler that does not run
  // anyway is no reason to leave it changed.
  if (failure && automatic_ && !putBack_.exchange(true)) failure->disabledAgain = service_.SetDisabled();
  return failure;
}

std::optional<SpoolerStartFailure> StartSpooler(SpoolerService& service, SystemServices& system, bool disabled) {
  return SpoolerStart(service, system, disabled).Run();
}

std::string SpoolerStartFailureMessage(const SpoolerStartFailure& failure, const SystemTextFunction& systemText) {
  std::string text;
  switch (failure.kind) {
    case SpoolerStartFailure::Kind::Refused:
      text = failure.mayStillStart ? "The Print Spooler service was started, but how its start goes could not be "
                                     "read: "
                                   : "The Print Spooler service was not started: ";
      text += failure.call + " failed.\n\n" + SystemErrorParagraphs(failure.error, systemText);
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
    case SpoolerStartFailure::Kind::SessionEnding:
      text = "The Print Spooler service was not waited for: Windows is ending the session.";
      break;
  }
  if (failure.disabledAgain) {
    // A change of start type takes effect for the next start only, and a
    // service whose start is pending accepts no stop (ControlService,
    // ERROR_SERVICE_CANNOT_ACCEPT_CTRL), so a start under way cannot be
    // taken back: the administrator is told, to stop it once it runs.
    // https://learn.microsoft.com/en-us/windows/win32/api/winsvc/nf-winsvc-controlservice
    if (failure.disabledAgain->error == 0 && failure.mayStillStart) {
      text += "\n\nThe service was set back to Disabled, so it will not start with Windows again. The start under "
              "way may still finish, though: the service then runs until it is stopped (in Services) or Windows "
              "restarts.";
    } else if (failure.disabledAgain->error == 0) {
      text += "\n\nThe service was set back to Disabled, as it was before.";
    } else {
      text += "\n\nThe service could not be set back to Disabled and now starts automatically: " +
              CallName(*failure.disabledAgain) + " failed.\n\n" +
              SystemErrorParagraphs(failure.disabledAgain->error, systemText);
    }
  }
  return text;
}

PortListing ListPortsAfterStart(Spooler& spooler, SystemServices& system) {
  PortListing listing = ListPorts(spooler, system);
  for (int tries = 1; tries < kListTriesAfterStart && SpoolerDoesNotAnswer(listing.error); ++tries) {
    system.Sleep(kListPauseAfterStartMs);
    listing = ListPorts(spooler, system);
  }
  return listing;
}

std::string PortListFailureMessage(std::uint32_t error, bool startedNow, const SystemTextFunction& systemText) {
  if (!startedNow || !SpoolerDoesNotAnswer(error)) return ListFailureMessage("port list", "EnumPortsA", error, systemText);
  return "The Print Spooler service was started but does not answer yet, so the ports cannot be listed: EnumPortsA "
         "failed.\n\n" +
         SystemErrorLine(error, systemText) +
         "\n\nWait a moment, then press Back and Next to open this page again.";
}

}  // namespace oriel
