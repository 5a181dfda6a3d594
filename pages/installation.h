#pragma once
// The installation as the wizard runs it: started by the port page's Install
// with the settings page's choices, its progress on the port page's bar, its
// questions and warnings in message boxes, and its outcome told once the port
// page has closed.
#include <windows.h>

#include <optional>

#include "install/installer.h"
#include "platform/win32/toolkit/controls.h"

namespace oriel {

class PortPage;

InstallOutcome RunInstallation(const InstallVariant& variant, const InstallInputs& inputs,
                               win32::ProgressBar progress, HWND messageOwner);

// Says how the port page ended (an outcome only when Install ran to its end)
// and records the wizard's outcome for the exit status.
void ReportInstallation(HWND owner, const PortPage& portPage, INT_PTR portPageResult,
                        const std::optional<InstallOutcome>& outcome);

}  // namespace oriel
