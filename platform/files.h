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
};

}  // namespace oriel
