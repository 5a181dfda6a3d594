#pragma once
// The fixed installation tables. Indices come from the settings page's lists,
// whose item order matches these tables.
#include <cstddef>
#include <span>
#include <string_view>

namespace oriel {

struct ModelRow {
  std::string_view moduleBase;
  std::string_view dataFileBase;
  std::string_view driverName;
  bool usesPlugin;
};

inline constexpr int kModelCount = 15;
inline constexpr int kPortEntryCount = 7;
// The LPT/COM list holds LPT1..LPT3, then COM1..COM4; only COM entries have
// serial settings.
inline constexpr int kFirstComPortIndex = 3;

// Row 0..14 of the ModelCatalogue.
const ModelRow& ModelCatalogueRow(int row);

// Zero-terminated names, back to back; each block ends with its last name's zero.
std::span<const char> BaseDependentFiles();     // 38 bytes
std::span<const char> PluginDependentFiles();   // 60 bytes

std::string_view PortValueName(int portIndex);  // "LPT1:" .. "COM4:"
std::string_view BaudRateText(int index);       // 9 entries
std::string_view DataBitsText(int index);       // 4 entries
std::string_view StopBitsText(int index);       // 3 entries
std::string_view ParityLetter(int index);       // 5 entries: E M N O S
std::string_view FlowControlLetter(int index);  // 3 entries: " " x p

inline constexpr int kBaudRateCount = 9;
inline constexpr int kDataBitsCount = 4;
inline constexpr int kStopBitsCount = 3;
inline constexpr int kParityCount = 5;
inline constexpr int kFlowControlCount = 3;

}  // namespace oriel
