#pragma once
#include <cstdint>
#include <string>

namespace oriel {

// Users is HKEY_USERS: the loaded profiles of every signed-in account, by SID.
enum class RegistryRoot { CurrentUser, LocalMachine, Users };

using RegistryKey = void*;

class Registry {
 public:
  virtual ~Registry() = default;
  // RegOpenKeyExA(root, path, 0, KEY_SET_VALUE, &key). Returns 0 and sets key
  // on success, else the system error code.
  virtual std::uint32_t OpenForSetValue(RegistryRoot root, const std::string& path,
                                        RegistryKey& key) = 0;
  // RegSetValueExA(key, name, 0, REG_SZ, text, size with its zero byte).
  virtual std::uint32_t SetString(RegistryKey key, const std::string& name,
                                  const std::string& text) = 0;
  // RegSetValueExA(key, name, 0, REG_DWORD, value, 4).
  virtual std::uint32_t SetDword(RegistryKey key, const std::string& name, std::uint32_t value) = 0;
  // RegDeleteValueA(key, name) on a key opened for setting values.
  virtual std::uint32_t DeleteValue(RegistryKey key, const std::string& name) = 0;
  virtual void Close(RegistryKey key) = 0;
  // RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE) and RegQueryValueExA of a
  // REG_DWORD. Returns 0 and sets value when it is there; 2 when the key or
  // value is missing; 13 (ERROR_INVALID_DATA) when the value is of another
  // type; else the system error code. LocalMachine is read in the 64-bit
  // view on 64-bit Windows, where the values Windows keeps about itself are.
  virtual std::uint32_t QueryDword(RegistryRoot root, const std::string& path, const std::string& name,
                                   std::uint32_t& value) = 0;
};

}  // namespace oriel
