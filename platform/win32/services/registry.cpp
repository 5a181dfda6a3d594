#include <windows.h>

#include "platform/win32/services/registry.h"

namespace oriel::win32 {

namespace {

HKEY RootKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegistryRoot::Users: return HKEY_USERS;
  }
  return HKEY_CURRENT_USER;
}

}  // namespace

std::uint32_t Win32Registry::OpenForSetValue(RegistryRoot root, const std::string& path, RegistryKey& key) {
  HKEY opened = nullptr;
  const LONG status = ::RegOpenKeyExA(RootKey(root), path.c_str(), 0, KEY_SET_VALUE, &opened);
  key = status == ERROR_SUCCESS ? opened : nullptr;
  return static_cast<std::uint32_t>(status);
}

std::uint32_t Win32Registry::SetString(RegistryKey key, const std::string& name, const std::string& text) {
  return static_cast<std::uint32_t>(::RegSetValueExA(static_cast<HKEY>(key), name.c_str(), 0, REG_SZ,
                                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                                     static_cast<DWORD>(text.size() + 1)));
}

std::uint32_t Win32Registry::SetDword(RegistryKey key, const std::string& name, std::uint32_t value) {
  const DWORD data = value;
  return static_cast<std::uint32_t>(::RegSetValueExA(static_cast<HKEY>(key), name.c_str(), 0, REG_DWORD,
                                                     reinterpret_cast<const BYTE*>(&data), sizeof(data)));
}

std::uint32_t Win32Registry::DeleteValue(RegistryKey key, const std::string& name) {
  return static_cast<std::uint32_t>(::RegDeleteValueA(static_cast<HKEY>(key), name.c_str()));
}

void Win32Registry::Close(RegistryKey key) { ::RegCloseKey(static_cast<HKEY>(key)); }

std::uint32_t Win32Registry::QueryDword(RegistryRoot root, const std::string& path, const std::string& name,
                                        std::uint32_t& value) {
  HKEY key = nullptr;
  // Under WOW64 a 32-bit process's HKLM\SOFTWARE is a copy of its own; what
  // Windows says of itself lies in the 64-bit view, which 32-bit Windows
  // ignores the flag for:
  // https://learn.microsoft.com/en-us/windows/win32/winprog64/accessing-an-alternate-registry-view
  const REGSAM view = root == RegistryRoot::LocalMachine ? KEY_WOW64_64KEY : 0;
  LONG status = ::RegOpenKeyExA(RootKey(root), path.c_str(), 0, KEY_QUERY_VALUE | view, &key);
  if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
  DWORD type = 0;
  DWORD data = 0;
  DWORD size = sizeof(data);
  status = ::RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  ::RegCloseKey(key);
  if (status == ERROR_MORE_DATA || (status == ERROR_SUCCESS && (type != REG_DWORD || size != sizeof(data))))
    return ERROR_INVALID_DATA;
  if (status != ERROR_SUCCESS) return static_cast<std::uint32_t>(status);
  value = data;
  return 0;
}

}  // namespace oriel::win32
