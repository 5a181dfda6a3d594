// The stack protector's guard value and failure handlers. libssp's own set
// seeds the guard through CryptAcquireContext, which loads the RSA provider,
// crypt32 and bcrypt before the first page can show: about a tenth of the
// start time under Wine. The guard is seeded here the way Windows' own stack
// cookies are, from values that differ per process and per start. libssp's
// fortified copies (memcpy_chk and the like) still come from the library and
// end in __chk_fail below.
#include <windows.h>

#include <cstdint>
#include <cstdlib>

extern "C" {

void* __stack_chk_guard = nullptr;

[[noreturn]] void __stack_chk_fail() {
  ::OutputDebugStringA("*** stack smashing detected ***: terminated\n");
  std::abort();
}

[[noreturn]] void __chk_fail() {
  ::OutputDebugStringA("*** buffer overflow detected ***: terminated\n");
  std::abort();
}

[[noreturn]] void __stack_chk_fail_local() { __stack_chk_fail(); }

}  // extern "C"

namespace {

// Runs before any protected code that could outlive it; itself unprotected,
// because it changes the value its own frame would be checked against.
__attribute__((constructor, no_stack_protector)) void SeedStackGuard() {
  LARGE_INTEGER counter;
  ::QueryPerformanceCounter(&counter);
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  std::uint64_t seed = static_cast<std::uint64_t>(counter.QuadPart);
  seed ^= (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
  seed ^= static_cast<std::uint64_t>(::GetCurrentProcessId()) << 16;
  seed ^= static_cast<std::uint64_t>(::GetCurrentThreadId()) << 40;
  seed ^= static_cast<std::uint64_t>(::GetTickCount()) << 24;
  seed ^= reinterpret_cast<std::uintptr_t>(&counter);  // where the stack landed
  // A splitmix round spreads every input bit over the whole value.
  seed = (seed ^ (seed >> 30)) * 0xBF58476D1CE4E5B9ull;
  seed = (seed ^ (seed >> 27)) * 0x94D049BB133111EBull;
  seed ^= seed >> 31;
  auto guard = static_cast<std::uintptr_t>(seed);
  // A zero byte first stops string overruns from copying the guard out.
  guard &= ~static_cast<std::uintptr_t>(0xFF);
  if (guard == 0) guard = 0xBB40E600;
  __stack_chk_guard = reinterpret_cast<void*>(guard);
}

}  // namespace
