#pragma once
// The registry behind the portable interface.
#include "platform/registry.h"

namespace oriel::win32 {

class Win32Registry final : public Registry {
 public:
  std::uint32_t OpenForSetValue(RegistryRoot root, const std::string& path, RegistryKey& key) override;
  std::uint32_t SetString(RegistryKey key, const std::string& name, const std::string& text) override;
  std::uint32_t SetDword(RegistryKey key, const std::string& name, std::uint32_t value) override;
  std::uint32_t DeleteValue(RegistryKey key, const std::string& name) override;
  void Close(RegistryKey key) override;
  std::uint32_t QueryDword(RegistryRoot root, const std::string& path, const std::string& name,
                           std::uint32_t& value) override;
};

}  // namespace oriel::win32
