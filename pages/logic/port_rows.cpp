#include "pages/logic/port_rows.h"

#include <algorithm>
#include <string_view>

#include "platform/enumeration.h"
#include "platform/records.h"

namespace oriel {
namespace {

// Only the first four bytes count, so "COM10:" and "LPT1.txt" are candidates too.
bool StartsWith4(const std::string& name, std::string_view prefix) {
  return std::string_view(name).substr(0, 4) == prefix;
}

// The last LPT1, else COM1, else FILE port among the listed rows.
int Preselection(std::span<const PortRow> rows) {
  int lpt1 = -1;
  int com1 = -1;
  int file = -1;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const auto row = static_cast<int>(i);
    if (StartsWith4(rows[i].name, "COM1")) com1 = row;
    if (StartsWith4(rows[i].name, "LPT1")) lpt1 = row;
    if (StartsWith4(rows[i].name, "FILE")) file = row;
  }
  return lpt1 >= 0 ? lpt1 : com1 >= 0 ? com1 : file;
}

}  // namespace

PortListing BuildPortListing(std::span<const PortRow> ports) {
  PortListing listing;
  listing.rows.assign(ports.begin(), ports.begin() + static_cast<std::ptrdiff_t>(
                                                          std::min<std::size_t>(ports.size(), kMaxListedPorts)));
  listing.preselected = Preselection(listing.rows);
  return listing;
}

PortListing ListPorts(Spooler& spooler, SystemServices& system) {
  const EnumerationBuffer buffer = Enumerate<PortInfo2>(
      [&spooler](std::byte* bytes, std::uint32_t size) { return spooler.EnumPorts2(bytes, size); });

  // Records past the capacity are not even read.
  const std::uint32_t listed = std::min<std::uint32_t>(buffer.count(), kMaxListedPorts);
  // The rows go straight into the listing: no second copy of every text.
  PortListing listing;
  listing.error = buffer.error();
  listing.rows.reserve(listed);
  for (std::uint32_t i = 0; i < listed; ++i) {
    const auto record = buffer.RecordAt<PortInfo2>(i);
    listing.rows.push_back({buffer.TextAt(record.pPortName).value_or(std::string()),
                            buffer.TextAt(record.pDescription).value_or(std::string())});
  }
  listing.preselected = Preselection(listing.rows);
  std::string line;  // one buffer for every line
  for (const PortRow& row : listing.rows) {
    line.assign(row.name).push_back('\n');
    system.DebugOutput(line);
  }
  return listing;
}

}  // namespace oriel
