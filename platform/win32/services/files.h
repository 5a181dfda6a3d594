#pragma once
// The file system behind the portable interface.
#include "platform/files.h"

namespace oriel::win32 {

class Win32FileSystem final : public FileSystem {
 public:
  std::uint32_t CopyReplacing(const std::string& source, const std::string& destination) override;
  std::uint32_t MakeReplaceable(const std::string& path) override;
  std::uint32_t CheckReadable(const std::string& path) override;
  std::string FullPath(const std::string& path) override;
  std::u16string ProgramFolderName() override;
  std::u16string CurrentDirectoryName() override;
  std::u16string ShortPath(const std::u16string& path) override;
  std::optional<std::string> ToCodePage(const std::u16string& text, std::uint32_t flags, bool* usedDefault) override;
  std::optional<std::u16string> FromCodePage(const std::string& text) override;
  bool DriveLetterSeen(char letter) override;
};

}  // namespace oriel::win32
