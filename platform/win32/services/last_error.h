#pragma once
#include <windows.h>

#include <cstdint>

namespace oriel::win32 {

// A failed call's GetLastError, or the fallback where the call left none.
inline std::uint32_t LastErrorOr(DWORD fallback) {
  const DWORD error = ::GetLastError();
  return error != 0 ? error : fallback;
}

}  // namespace oriel::win32
