#pragma once
#include <cstdint>
#include <string>

namespace oriel {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // CopyFileA(source, destination, FALSE): an existing destination is replaced.
  // Returns 0 on success, else the system error code.
  virtual std::uint32_t CopyReplacing(const std::string& source, const std::string& destination) = 0;
  // 0 when the file exists and opens for reading, else the system error code.
  virtual std::uint32_t CheckReadable(const std::string& path) = 0;
  // The path made absolute against the current directory (GetFullPathNameA);
  // the path itself when that fails.
  virtual std::string FullPath(const std::string& path) = 0;
};

}  // namespace oriel
