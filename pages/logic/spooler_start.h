#pragma once
// Offering back a Print Spooler service that does not answer: many shops
// stopped or disabled it after the 2021 attacks on the spooler.
#include <cstdint>
#include <optional>
#include <string>

#include "pages/logic/error_hints.h"
#include "platform/spooler_service.h"
#include "platform/system.h"

namespace oriel {

// However its checkpoints advance, a start is waited for no longer than this.
inline constexpr std::uint32_t kSpoolerStartWaitMs = 15000;

// A list call's error that means the spooler does not answer
// (RPC_S_SERVER_UNAVAILABLE, RPC_S_CALL_FAILED).
bool SpoolerDoesNotAnswer(std::uint32_t error);

// The Yes/No question; a disabled service's says that it is, why it may be,
// and that printing needs it.
std::string StartSpoolerQuestion(bool disabled);

struct SpoolerStartFailure {
  enum class Kind {
    Refused,       // a service-control call failed: call, error
    StoppedAgain,  // it stopped right after starting: error is its exit code
    NotRunning,    // it did not report running in time: state is its last
  };
  Kind kind = Kind::Refused;
  std::string call;
  std::uint32_t error = 0;
  bool serviceSpecific = false;  // error is the service's own code, not a system error
  std::uint32_t state = 0;
  bool stalled = false;  // NotRunning: its checkpoint stood still for longer than its wait hint
  // Set when a service that was disabled had been set to start automatically:
  // whether putting Disabled back failed, and with what.
  std::optional<ServiceCallResult> disabledAgain;
};

// A disabled service is set to start automatically first; then it is
// started and waited for until it runs or stops. A disabled service that
// did not come up is set back to Disabled.
std::optional<SpoolerStartFailure> StartSpooler(SpoolerService& service, SystemServices& system, bool disabled);

std::string SpoolerStartFailureMessage(const SpoolerStartFailure& failure, const SystemTextFunction& systemText);

}  // namespace oriel
