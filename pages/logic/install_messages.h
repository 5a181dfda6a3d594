#pragma once
// What the pages say about an installation: its failure, and the question
// asked where Windows manages the default printer.
#include <string>
#include <string_view>

#include "install/installer.h"
#include "pages/logic/error_hints.h"

namespace oriel {

// English text for a failed outcome, without the system's message text, which
// FailureMessage appends. Empty for a completed outcome.
std::string DescribeFailure(const InstallOutcome& outcome);

// The whole message for a failed outcome: what failed and which file or call,
// the system's text for the error code, then the hint.
std::string FailureMessage(const InstallOutcome& outcome, const SystemTextFunction& systemText);

// What follows FailureMessage where the folder beside Oriel.exe was not
// looked in because the file calls cannot name it: in UTF-8, as that name is
// not in the system code page. Empty otherwise.
std::string ProgramFolderUnnamedParagraph(const InstallOutcome& outcome);

// The message for a printer that was installed without all of its settings:
// each setting, the call that failed and the system's text. Empty when every
// setting went in, or the installation failed.
std::string SettingsNotWrittenMessage(const InstallOutcome& outcome, const SystemTextFunction& systemText);

// The Yes/No question asked where Windows manages the default printer; Yes
// stops that, No leaves the default as it is. accountName: whose default it
// is, where that is not the account Oriel runs as.
std::string DefaultPrinterQuestion(std::string_view printerName, std::string_view accountName = {});

}  // namespace oriel
