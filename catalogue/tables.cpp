#include "catalogue/tables.h"

#include <array>

namespace oriel {
namespace {

// One module serves every model; the rows differ only in GPD file and name.
constexpr std::string_view kModuleBase = "RKT4X";

constexpr std::array<ModelRow, kModelCount> kModelCatalogue{{
    {kModuleBase, "RKT410nocut", "RK-T410(No Cut) Series", false},
    {kModuleBase, "RKT410cut", "RK-T410(Cut) Series", false},
    {kModuleBase, "RKT420nocut", "RK-T420(No Cut) Series", false},
    {kModuleBase, "RKT420cut", "RK-T420(Cut) Series", false},
    {kModuleBase, "RKT430", "RK-T430 Series", false},
    {kModuleBase, "RKT430E", "RK-T430E Series", true},
    {kModuleBase, "RKMT430", "RK-MT430 Series", true},
    {kModuleBase, "RKWT430", "RK-WT430 Series", true},
    {kModuleBase, "V5YYK", "V-5yyK Series", true},
    {kModuleBase, "RKT440", "RK-T440 Series", true},
    {kModuleBase, "RKKT410", "RK-KT410 Series", false},
    {kModuleBase, "RKKT430", "RK-KT430 Series", true},
    {kModuleBase, "RKKT440", "RK-KT440 Series", true},
    {kModuleBase, "RKMT440", "RK-MT440 Series", true},
    {kModuleBase, "RKWT440", "RK-WT440 Series", true},
}};

// The literal's own terminator is the zero of the last name, so sizeof gives
// exactly the block the driver record starts with. The names keep the letter
// case the driver was registered with, not the case of the copied files.
constexpr char kBaseDependentFiles[] = "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD";
constexpr char kPluginDependentFiles[] =
    "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0\\RKUNI.ini\0\\RKUNI.dll";
static_assert(sizeof(kBaseDependentFiles) == 38);
static_assert(sizeof(kPluginDependentFiles) == 60);

constexpr std::array<std::string_view, kPortEntryCount> kPortValueNames{
    "LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "COM3:", "COM4:"};

constexpr std::array<std::string_view, kBaudRateCount> kBaudRateTexts{
    "300", "1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"};

constexpr std::array<std::string_view, kDataBitsCount> kDataBitsTexts{"5", "6", "7", "8"};

constexpr std::array<std::string_view, kStopBitsCount> kStopBitsTexts{"1", "1.5", "2"};

// The list shows Even, Mark, None, Odd, Space: alphabetical, not the DCB order.
constexpr std::array<std::string_view, kParityCount> kParityLetters{"E", "M", "N", "O", "S"};

// None is a blank rather than an empty field, so the value keeps five fields.
constexpr std::array<std::string_view, kFlowControlCount> kFlowControlLetters{" ", "x", "p"};

}  // namespace

const ModelRow& ModelCatalogueRow(int row) { return kModelCatalogue[row]; }

std::span<const char> BaseDependentFiles() { return kBaseDependentFiles; }
std::span<const char> PluginDependentFiles() { return kPluginDependentFiles; }

std::string_view PortValueName(int portIndex) { return kPortValueNames[portIndex]; }
std::string_view BaudRateText(int index) { return kBaudRateTexts[index]; }
std::string_view DataBitsText(int index) { return kDataBitsTexts[index]; }
std::string_view StopBitsText(int index) { return kStopBitsTexts[index]; }
std::string_view ParityLetter(int index) { return kParityLetters[index]; }
std::string_view FlowControlLetter(int index) { return kFlowControlLetters[index]; }

}  // namespace oriel
