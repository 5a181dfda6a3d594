#include "platform/win32/toolkit/messages.h"

#include <vector>

namespace oriel::win32 {

static std::wstring WideFromCodePage(UINT codePage, const std::string& text) {
  if (text.empty()) return {};
  const int length = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<size_t>(length), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::wstring WideFromUtf8(const std::string& text) { return WideFromCodePage(CP_UTF8, text); }
std::wstring WideFromAnsi(const std::string& text) { return WideFromCodePage(CP_ACP, text); }

std::wstring ApplicationTitle() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return L"Oriel";
    if (length < path.size()) {
      std::wstring name(path.data(), length);
      const size_t slash = name.find_last_of(L"\\/");
      if (slash != std::wstring::npos) name.erase(0, slash + 1);
      const size_t dot = name.find_last_of(L'.');
      if (dot != std::wstring::npos && dot > 0) name.erase(dot);
      return name;
    }
    path.resize(path.size() * 2);
  }
}

void ShowMessage(HWND owner, const std::wstring& text) {
  ::MessageBoxW(owner, text.c_str(), ApplicationTitle().c_str(), MB_OK | MB_ICONEXCLAMATION);
}

bool AskYesNo(HWND owner, const std::wstring& text) {
  return ::MessageBoxW(owner, text.c_str(), ApplicationTitle().c_str(), MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void ShowFixedMessage(HWND owner, const wchar_t* text) noexcept {
  ::MessageBoxW(owner, text, L"Oriel", MB_OK | MB_ICONEXCLAMATION);
}

std::string SystemErrorText(DWORD error) {
  char* buffer = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (length != 0 && buffer != nullptr) {
    text.assign(buffer, length);
    ::LocalFree(buffer);
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  if (text.empty()) text = "Unknown error.";
  return text;
}

}  // namespace oriel::win32
