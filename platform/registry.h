#pragma once
#include <cstdint>
#include <string>

namespace oriel {

enum class RegistryRoot { CurrentUser, LocalMachine };

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
  virtual void Close(RegistryKey key) = 0;
};

}  // namespace oriel
