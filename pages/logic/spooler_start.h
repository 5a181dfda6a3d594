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

// How long a started service is waited for, and how often it is asked.
inline constexpr std::uint32_t kSpoolerStartWaitMs = 15000;
inline constexpr std::uint32_t kSpoolerPollMs = 250;

// A list call's error that means the spooler does not answer
// (RPC_S_SERVER_UNAVAILABLE, RPC_S_CALL_FAILED).
bool SpoolerDoesNotAnswer(std::uint32_t error);

// The Yes/No question; a disabled service's says that it is, why it may be,
// and that printing needs it.
std::string StartSpoolerQuestion(bool disabled);

struct SpoolerStartFailure {
  std::string call;  // the service-control call that failed
  std::uint32_t error = 0;
  bool timedOut = false;  // started, but not running within kSpoolerStartWaitMs
};

// A disabled service is set to start automatically first; then it is
// started and waited for until it runs.
std::optional<SpoolerStartFailure> StartSpooler(SpoolerService& service, SystemServices& system, bool disabled);

std::string SpoolerStartFailureMessage(const SpoolerStartFailure& failure, const SystemTextFunction& systemText);

}  // namespace oriel
