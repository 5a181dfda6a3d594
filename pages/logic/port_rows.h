#pragma once
// The port page's list: rows from the spooler's level-2 ports and the row to
// preselect.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/spooler.h"
#include "platform/system.h"

namespace oriel {

inline constexpr int kMaxListedPorts = 256;

struct PortRow {
  std::string name;
  std::string description;
};

struct PortListing {
  std::vector<PortRow> rows;
  int preselected = -1;  // row index, or -1 for no selection
  std::uint32_t error = 0;  // EnumPortsA's error when it refused the list (no rows then)
};

// The listing for ports in the spooler's order (a missing text already made
// empty): the first kMaxListedPorts of them, and the last LPT1, else COM1,
// else FILE port as preselection.
PortListing BuildPortListing(std::span<const PortRow> ports);

// Enumerates the ports and builds their listing; writes one debugger line
// (name and line feed) per listed port. A refused enumeration gives no rows
// and its error.
PortListing ListPorts(Spooler& spooler, SystemServices& system);

}  // namespace oriel
