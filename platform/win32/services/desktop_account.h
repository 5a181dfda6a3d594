#pragma once
// Who owns the desktop Oriel runs on: the account whose default printer is
// meant, which need not be the account Oriel runs as.
#include <optional>

#include "platform/system.h"

namespace oriel::win32 {

// The user of the shell's process token; nullopt where there is no shell
// window (a kiosk shell) or its token cannot be read. The name is empty when
// its lookup failed.
std::optional<DesktopUser> ShellAccount();
// The user signed in to the session this process runs in: under Remote
// Desktop the console session belongs to someone else, or to nobody.
std::optional<DesktopUser> SessionAccount();

}  // namespace oriel::win32
