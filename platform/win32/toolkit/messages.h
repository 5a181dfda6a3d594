#pragma once
// Text conversion and the program's own message boxes.
#include <windows.h>

#include <string>

namespace oriel::win32 {

std::wstring WideFromUtf8(const std::string& text);
std::wstring WideFromAnsi(const std::string& text);
// The program file's name without its extension: the caption of our message boxes.
std::wstring ApplicationTitle();
// OK-only, exclamation icon, modal over owner.
void ShowMessage(HWND owner, const std::wstring& text);
// Yes/No, question icon, modal over owner; true for Yes.
bool AskYesNo(HWND owner, const std::wstring& text);
// For a failure while composing a message: allocates nothing, throws nothing.
void ShowFixedMessage(HWND owner, const wchar_t* text) noexcept;
// FormatMessage's text for a system error code, without the trailing line
// break, in the system code page like the names it goes into a message with.
std::string SystemErrorText(DWORD error);

}  // namespace oriel::win32
