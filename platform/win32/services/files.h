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
  std::string ProgramFolder() override;
};

}  // namespace oriel::win32
