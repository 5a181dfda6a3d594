#pragma once
// Offering back a Print Spooler service that does not answer: many shops
// stopped or disabled it after the 2021 attacks on the spooler.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "pages/logic/error_hints.h"
#include "pages/logic/port_rows.h"
#include "platform/spooler.h"
#include "platform/spooler_service.h"
#include "platform/system.h"

namespace oriel {

// However its checkpoints advance, a start is waited for no longer than this.
inline constexpr std::uint32_t kSpoolerStartWaitMs = 15000;

// A spooler that reports running may not answer list calls yet: after a start
// the ports are asked for this many times, this far apart.
inline constexpr int kListTriesAfterStart = 10;
inline constexpr std::uint32_t kListPauseAfterStartMs = 500;

// A list call's error that means the spooler does not answer
// (RPC_S_SERVER_UNAVAILABLE, RPC_S_CALL_FAILED, RPC_S_UNKNOWN_IF,
// RPC_S_CALL_FAILED_DNE, EPT_S_NOT_REGISTERED).
bool SpoolerDoesNotAnswer(std::uint32_t error);

// The Yes/No question; a disabled service's says that it is, why it may be,
// and that printing needs it.
std::string StartSpoolerQuestion(bool disabled);

// What the offer to start a spooler that does not answer asks, and whether a
// Yes sets it to start automatically first: only when the service manager
// says it is Disabled. A start type that cannot be read is no reason to
// change it; the start of a disabled one then fails and says why.
struct SpoolerStartOffer {
  bool disabled = false;
  std::string question;
};
SpoolerStartOffer OfferSpoolerStart(SpoolerService& service);

struct SpoolerStartFailure {
  enum class Kind {
    Refused,        // a service-control call failed: call, error
    StoppedAgain,   // it stopped right after starting: error is its exit code
    NotRunning,     // it did not report running in time: state is its last
    SessionEnding,  // Windows ends the session: nothing more is done
  };
  Kind kind = Kind::Refused;
  std::string call;
  std::uint32_t error = 0;
  bool serviceSpecific = false;  // error is the service's own code, not a system error
  std::uint32_t state = 0;
  bool stalled = false;  // NotRunning: its checkpoint stood still for longer than its wait hint
  // The service took the start and was not seen to stop: it may still come up.
  bool mayStillStart = false;
  // Set when a service that was disabled had been set to start automatically:
  // whether putting Disabled back failed, and with what.
  std::optional<ServiceCallResult> disabledAgain;
};

// One start, waited on by one thread while another answers the session's
// end. A disabled service is set to start automatically first; then it is
// started and waited for until it runs or stops. A disabled service that did
// not come up is set back to Disabled.
class SpoolerStart {
 public:
  SpoolerStart(SpoolerService& service, SystemServices& system, bool disabled)
      : service_(service), system_(system), disabled_(disabled) {}
  std::optional<SpoolerStartFailure> Run();
  // WM_ENDSESSION(TRUE) while Run goes on: a service this start set to start
  // automatically is set back to Disabled before it returns, as Windows may
  // end the process any time after; Run then gives up.
  void SessionEnding();

 private:
  std::optional<SpoolerStartFailure> SetAutomatic();
  std::optional<SpoolerStartFailure> StartAndWait();
  SpoolerService& service_;
  SystemServices& system_;
  const bool disabled_;
  std::atomic<bool> ending_{false};
  std::atomic<bool> settingAutomatic_{false};
  std::atomic<bool> automatic_{false};
  std::atomic<bool> putBack_{false};  // by whichever of the two came first
};

std::optional<SpoolerStartFailure> StartSpooler(SpoolerService& service, SystemServices& system, bool disabled);

std::string SpoolerStartFailureMessage(const SpoolerStartFailure& failure, const SystemTextFunction& systemText);

// The ports right after a start, asked for again while the spooler does not
// answer yet.
PortListing ListPortsAfterStart(Spooler& spooler, SystemServices& system);

// The port list's refusal; a spooler that does not answer right after Oriel
// started it is said to be started, not offered to be started again.
std::string PortListFailureMessage(std::uint32_t error, bool startedNow, const SystemTextFunction& systemText);

}  // namespace oriel
