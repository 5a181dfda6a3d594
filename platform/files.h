#pragma once
#include <cstdint>
#include <optional>
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
  // Where Oriel.exe and the current directory lie, without a trailing
  // backslash, as Windows keeps names (UTF-16); empty when unknown.
  virtual std::u16string ProgramFolderName() = 0;
  virtual std::u16string CurrentDirectoryName() = 0;
  // GetShortPathNameW: the path itself where the volume keeps no 8.3 names,
  // empty when the call fails.
  // https://learn.microsoft.com/en-us/windows/win32/api/fileapi/nf-fileapi-getshortpathnamew
  virtual std::u16string ShortPath(const std::u16string& path) = 0;
  // WideCharToMultiByte and MultiByteToWideChar on the system code page, with
  // the flags and lpUsedDefaultChar given; nullopt when the call fails.
  virtual std::optional<std::string> ToCodePage(const std::u16string& text, std::uint32_t flags,
                                                bool* usedDefault) = 0;
  virtual std::optional<std::u16string> FromCodePage(const std::string& text) = 0;
  // false where this process cannot see the drive of that letter: not in
  // GetLogicalDrives, or GetDriveType says DRIVE_NO_ROOT_DIR. A drive mapped
  // in the user's session is such a drive to an elevated program.
  virtual bool DriveLetterSeen(char letter) = 0;
};

inline constexpr std::uint32_t kFileAttributeReadOnly = 0x1;
inline constexpr std::uint32_t kFileAttributeHidden = 0x2;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;

// A file's attributes without the read-only and hidden ones, which keep
// CopyFile from replacing it; FILE_ATTRIBUTE_NORMAL where none would be left,
// as 0 leaves a file's attributes as they are.
std::uint32_t ReplaceableAttributes(std::uint32_t attributes);

// The folder Oriel.exe lies in, where that is not the current directory.
struct ProgramFolder {
  // As the system code page spells it (or its short name does), for the file
  // and spooler calls; empty when they cannot name it.
  std::string path;
  std::string shown;  // UTF-8, for messages; empty when unknown or the current directory
};

ProgramFolder FindProgramFolder(FileSystem& files);

std::string Utf8FromUtf16(const std::u16string& text);

}  // namespace oriel
