// Items that the settings page's drop-down lists hold when the page is
// created, before the page's own initialisation runs. The dialog toolkit
// appends them in this order, each at the end of its list.
//
// Positions matter, not texts: the installer indexes its serial-setting and
// port tables with the selected index, so reordering an entry here changes
// what gets installed. No <windows.h>, so portable code can use it as well.
#pragma once

#include "resources/resource.h"

namespace oriel {

struct InitialListItem {
  int controlId;
  const char* text;
};

inline constexpr InitialListItem kSettingsInitialLists[] = {
    // The page replaces these with the catalogue's model names straight away.
    {IDC_SET_MODEL, "Model placeholder 1"},
    {IDC_SET_MODEL, "Model placeholder 2"},
    {IDC_SET_MODEL, "Model placeholder 3"},
    {IDC_SET_MODEL, "Model placeholder 4"},
    {IDC_SET_MODEL, "Model placeholder 5"},
    {IDC_SET_MODEL, "Model placeholder 6"},

    // Index 3 and above are the COM ports.
    {IDC_SET_PORT, "LPT1"},
    {IDC_SET_PORT, "LPT2"},
    {IDC_SET_PORT, "LPT3"},
    {IDC_SET_PORT, "COM1"},
    {IDC_SET_PORT, "COM2"},
    {IDC_SET_PORT, "COM3"},
    {IDC_SET_PORT, "COM4"},

    {IDC_SET_BAUD, "300"},
    {IDC_SET_BAUD, "1200"},
    {IDC_SET_BAUD, "2400"},
    {IDC_SET_BAUD, "4800"},
    {IDC_SET_BAUD, "9600"},
    {IDC_SET_BAUD, "19200"},
    {IDC_SET_BAUD, "38400"},
    {IDC_SET_BAUD, "57600"},
    {IDC_SET_BAUD, "115200"},

    {IDC_SET_DATABITS, "5"},
    {IDC_SET_DATABITS, "6"},
    {IDC_SET_DATABITS, "7"},
    {IDC_SET_DATABITS, "8"},

    {IDC_SET_FLOW, "None"},
    {IDC_SET_FLOW, "XonXoff"},
    {IDC_SET_FLOW, "Hardware"},

    // Alphabetical, so "None" is index 2.
    {IDC_SET_PARITY, "Even"},
    {IDC_SET_PARITY, "Mark"},
    {IDC_SET_PARITY, "None"},
    {IDC_SET_PARITY, "Odd"},
    {IDC_SET_PARITY, "Space"},

    {IDC_SET_STOPBITS, "1"},
    {IDC_SET_STOPBITS, "1.5"},
    {IDC_SET_STOPBITS, "2"},
};

}  // namespace oriel
