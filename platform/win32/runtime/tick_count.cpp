// libwinpthread, which the posix-thread libstdc++ and libgcc lock through,
// calls GetTickCount64 in its timed waits. XP's kernel32 lacks it and XP's
// loader refuses a program that imports it. Defining the import slot here
// keeps the import out: the linker takes this slot before kernel32's, and it
// leads to Windows' own function wherever kernel32 has one.
#include <windows.h>

#include <cstdint>

#include "platform/win32/runtime/system_library.h"

namespace {

// Before Vista: the performance counter, which XP always has and which, unlike
// GetTickCount, does not wrap after 49.7 days in the middle of a wait.
ULONGLONG PerformanceCounterMilliseconds() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  if (!::QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
      !::QueryPerformanceCounter(&counter)) {
    return ::GetTickCount();
  }
  const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
  const auto per_second = static_cast<std::uint64_t>(frequency.QuadPart);
  // Split so that ticks * 1000 cannot overflow on a long-running machine.
  return ticks / per_second * 1000 + ticks % per_second * 1000 / per_second;
}

ULONGLONG WINAPI TickCount64() {
  auto windows = ORIEL_SYSTEM_FUNCTION(oriel::win32::SystemModule(L"kernel32.dll"), GetTickCount64);
  return windows != nullptr ? windows() : PerformanceCounterMilliseconds();
}

}  // namespace

#if defined(__i386__)
#define ORIEL_GETTICKCOUNT64_SLOT "__imp__GetTickCount64@0"
#else
#define ORIEL_GETTICKCOUNT64_SLOT "__imp_GetTickCount64"
#endif

extern "C" {
extern ULONGLONG(WINAPI* const oriel_get_tick_count64_slot)() __asm__(ORIEL_GETTICKCOUNT64_SLOT);
ULONGLONG(WINAPI* const oriel_get_tick_count64_slot)() __asm__(ORIEL_GETTICKCOUNT64_SLOT) = &TickCount64;
}
