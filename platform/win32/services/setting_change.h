#pragma once
// Telling the other programs that a setting changed, without waiting on a
// hung one.
#include <string>

namespace oriel::win32 {

// WM_SETTINGCHANGE with the section name to every top-level window, on a
// thread of its own that the caller waits for a second at most.
void BroadcastSettingChange(const std::string& section);

}  // namespace oriel::win32
