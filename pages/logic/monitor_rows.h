#pragma once
// The port creation dialog's list: one row per named port monitor.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/spooler.h"
#include "platform/system.h"

namespace oriel {

// Names in the spooler's order; nameless monitors give no row.
std::vector<std::string> BuildMonitorRows(std::span<const std::optional<std::string>> names);

struct MonitorListing {
  std::vector<std::string> rows;
  std::uint32_t error = 0;  // EnumMonitorsA's error when it refused the list (no rows then)
};

// Enumerates the monitors (level 1) and returns their rows; writes one debugger
// line (name and line feed) per listed monitor.
MonitorListing ListMonitors(Spooler& spooler, SystemServices& system);

}  // namespace oriel
