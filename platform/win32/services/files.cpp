#include <windows.h>

#include "platform/win32/services/files.h"

#include "platform/win32/services/last_error.h"

namespace oriel::win32 {

std::uint32_t Win32FileSystem::CopyReplacing(const std::string& source, const std::string& destination) {
  ::SetLastError(0);
  if (::CopyFileA(source.c_str(), destination.c_str(), FALSE)) return 0;
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

std::string Win32FileSystem::FullPath(const std::string& path) {
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

}  // namespace oriel::win32
