#pragma once
#include <cstdint>
#include <string>

namespace oriel {

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  // CopyFileA(source, destination, FALSE): an existing destination is replaced,
  // but not a read-only or hidden one (5), and the copy takes the source's
  // attributes. Returns 0 on success, else the system error code.
  virtual std::uint32_t CopyReplacing(const std::string& source, const std::string& destination) = 0;
  // Clears the read-only and hidden attributes of an existing file. 0 when
  // done or when there is no such file, else the system error code.
  virtual std::uint32_t MakeReplaceable(const std::string& path) = 0;
  // 0 when the file exists and opens for reading, else the system error code.
  virtual std::uint32_t CheckReadable(const std::string& path) = 0;
  // The path made absolute against the current directory (GetFullPathNameA),
  // as the system opens it: a 32-bit process on 64-bit Windows that names
  // System32 is given SysWOW64. The path itself when that fails.
  virtual std::string FullPath(const std::string& path) = 0;
  // The folder Oriel.exe lies in, without a trailing backslash, in the system
  // code page; empty when it cannot be named there.
  virtual std::string ProgramFolder() = 0;
};

}  // namespace oriel
