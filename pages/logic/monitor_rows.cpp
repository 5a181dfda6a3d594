#include "pages/logic/monitor_rows.h"

#include "platform/enumeration.h"
#include "platform/records.h"

namespace oriel {

std::vector<std::string> BuildMonitorRows(std::span<const std::optional<std::string>> names) {
  std::vector<std::string> rows;
  for (const auto& name : names)
    if (name) rows.push_back(*name);
  return rows;
}

MonitorListing ListMonitors(Spooler& spooler, SystemServices& system) {
  const EnumerationBuffer buffer = Enumerate<MonitorInfo1>(
      [&spooler](std::byte* bytes, std::uint32_t size) { return spooler.EnumMonitors1(bytes, size); });

  std::vector<std::optional<std::string>> names;
  names.reserve(buffer.count());
  for (std::uint32_t i = 0; i < buffer.count(); ++i)
    names.push_back(buffer.TextAt(buffer.RecordAt<MonitorInfo1>(i).pName));

  MonitorListing listing{BuildMonitorRows(names), buffer.error()};
  for (const std::string& row : listing.rows) system.DebugOutput(row + "\n");
  return listing;
}

}  // namespace oriel
