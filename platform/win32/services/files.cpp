#include <windows.h>

#include "platform/win32/services/files.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/win32/runtime/system_library.h"
#include "platform/win32/services/last_error.h"
#include "platform/win32/services/native_machine.h"

namespace oriel::win32 {

std::uint32_t Win32FileSystem::CopyReplacing(const std::string& source, const std::string& destination) {
  ::SetLastError(0);
  if (::CopyFileA(source.c_str(), destination.c_str(), FALSE)) return 0;
  return LastErrorOr(ERROR_GEN_FAILURE);
}

std::uint32_t Win32FileSystem::MakeReplaceable(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? 0 : LastErrorOr(ERROR_GEN_FAILURE);
  }
  const DWORD kept = ReplaceableAttributes(attributes);
  if (kept == attributes || ::SetFileAttributesA(path.c_str(), kept)) return 0;
  return LastErrorOr(ERROR_GEN_FAILURE);
}

std::uint32_t Win32FileSystem::CheckReadable(const std::string& path) {
  ::SetLastError(0);
  HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return LastErrorOr(ERROR_GEN_FAILURE);
  ::CloseHandle(file);
  return 0;
}

namespace {

std::string AbsolutePath(const std::string& path) {
  std::string full(MAX_PATH, '\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = ::GetFullPathNameA(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return path;
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    full.assign(length, '\0');  // length counts the terminator when the buffer was short
  }
  return path;
}

#ifndef _WIN64
std::string SystemDirectory() {
  char directory[MAX_PATH];
  const UINT length = ::GetSystemDirectoryA(directory, MAX_PATH);
  return length > 0 && length < MAX_PATH ? std::string(directory, length) : std::string();
}

bool IsInFolder(const std::string& path, const std::string& folder) {
  return !folder.empty() && path.size() >= folder.size() &&
         ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.data(), static_cast<int>(folder.size()),
                          folder.data(), static_cast<int>(folder.size())) == CSTR_EQUAL &&
         (path.size() == folder.size() || path[folder.size()] == '\\');
}

#endif

// The file-system redirector gives a 32-bit process on 64-bit Windows
// SysWOW64 where it names System32, but for a few folders it leaves alone:
// https://learn.microsoft.com/en-us/windows/win32/winprog64/file-system-redirector
// A handle's final path says which folder was really opened. The deepest
// folder of the path that exists is asked, and the rest put back on.
std::string AsRedirected(const std::string& full) {
#ifdef _WIN64
  return full;
#else
  if (Wow64Flag() != 1 || !IsInFolder(full, SystemDirectory())) return full;
  // Windows Vista and later.
  auto finalPath = ORIEL_SYSTEM_FUNCTION(SystemModule(L"kernel32.dll"), GetFinalPathNameByHandleA);
  if (finalPath == nullptr) return full;
  std::string head = full;
  std::string tail;
  for (;;) {
    HANDLE handle = ::CreateFileA(head.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
      std::string opened(MAX_PATH, '\0');
      DWORD length = finalPath(handle, opened.data(), static_cast<DWORD>(opened.size()), FILE_NAME_NORMALIZED);
      if (length >= opened.size()) {
        opened.assign(length + 1, '\0');
        length = finalPath(handle, opened.data(), static_cast<DWORD>(opened.size()), FILE_NAME_NORMALIZED);
      }
      ::CloseHandle(handle);
      if (length == 0 || length >= opened.size()) return full;
      opened.resize(length);
      if (opened.rfind("\\\\?\\UNC\\", 0) == 0) opened.replace(0, 8, "\\\\");
      else if (opened.rfind("\\\\?\\", 0) == 0) opened.erase(0, 4);
      return opened + tail;
    }
    const std::size_t cut = head.find_last_of('\\');
    if (cut == std::string::npos || cut == 0) return full;
    tail.insert(0, head, cut, std::string::npos);
    head.resize(cut);
  }
#endif
}

}  // namespace

std::string Win32FileSystem::FullPath(const std::string& path) { return AsRedirected(AbsolutePath(path)); }

namespace {

std::u16string FromWide(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }
std::wstring ToWide(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

// Asks a call that writes up to `size` characters until its answer fits.
template <typename Call>
std::wstring GrowingText(Call call) {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return {};
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    if (buffer.size() >= 32768) return {};
    buffer.resize(std::max<std::size_t>(buffer.size() * 2, length + 1));
  }
}

}  // namespace

std::u16string Win32FileSystem::ProgramFolderName() {
  // A path longer than the buffer comes back cut and with
  // ERROR_INSUFFICIENT_BUFFER (XP: unterminated, without the error):
  // https://learn.microsoft.com/en-us/windows/win32/api/libloaderapi/nf-libloaderapi-getmodulefilenamew
  std::wstring folder =
      GrowingText([](wchar_t* buffer, DWORD size) { return ::GetModuleFileNameW(nullptr, buffer, size); });
  const std::size_t cut = folder.find_last_of(L'\\');
  if (cut == std::wstring::npos) return {};
  folder.resize(cut);
  return FromWide(folder);
}

std::u16string Win32FileSystem::CurrentDirectoryName() {
  std::wstring folder = GrowingText([](wchar_t* buffer, DWORD size) { return ::GetCurrentDirectoryW(size, buffer); });
  if (folder.size() > 3 && folder.back() == L'\\') folder.pop_back();  // only a drive's root keeps it
  return FromWide(folder);
}

std::u16string Win32FileSystem::ShortPath(const std::u16string& path) {
  const std::wstring wide = ToWide(path);
  return FromWide(
      GrowingText([&](wchar_t* buffer, DWORD size) { return ::GetShortPathNameW(wide.c_str(), buffer, size); }));
}

std::optional<std::string> Win32FileSystem::ToCodePage(const std::u16string& text, std::uint32_t flags,
                                                       bool* usedDefault) {
  if (text.empty()) return std::string();
  const std::wstring wide = ToWide(text);
  BOOL defaulted = FALSE;
  BOOL* const defaultedOut = usedDefault != nullptr ? &defaulted : nullptr;
  const int size = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                         nullptr, defaultedOut);
  if (size <= 0) return std::nullopt;
  std::string converted(static_cast<std::size_t>(size), '\0');
  if (::WideCharToMultiByte(CP_ACP, flags, wide.data(), static_cast<int>(wide.size()), converted.data(), size,
                            nullptr, defaultedOut) != size) {
    return std::nullopt;
  }
  if (usedDefault != nullptr) *usedDefault = defaulted != FALSE;
  return converted;
}

std::optional<std::u16string> Win32FileSystem::FromCodePage(const std::string& text) {
  if (text.empty()) return std::u16string();
  const int length = ::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  if (::MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length) != length) {
    return std::nullopt;
  }
  return FromWide(wide);
}

// Each logon session has its own drive letters; an elevated token's session
// is not the one the user mapped the drive in.
// https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-getlogicaldrives
// https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-getdrivetypea
bool Win32FileSystem::DriveLetterSeen(char letter) {
  const char upper = letter >= 'a' && letter <= 'z' ? static_cast<char>(letter - 'a' + 'A') : letter;
  if (upper < 'A' || upper > 'Z') return true;
  const DWORD drives = ::GetLogicalDrives();
  if (drives != 0 && (drives & (1u << (upper - 'A'))) == 0) return false;
  const char root[] = {upper, ':', '\\', '\0'};
  return ::GetDriveTypeA(root) != DRIVE_NO_ROOT_DIR;
}

}  // namespace oriel::win32
