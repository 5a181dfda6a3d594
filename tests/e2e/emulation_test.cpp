// Faults as a 32-bit Windows program meets them, caught where the program
// catches them: an SEH frame of its own. Where qemu-i386 runs the shipped exe,
// Wine sees a fault only as well as the signal frame describes it; a wrong
// trap number there turns every access violation and guard page into an
// illegal instruction, while dialogs and prefix creation still work. These
// cases run in the driver, a 32-bit process of the same run.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace e2e {
namespace {

#if defined(__i386__)

// What the handler saw, what it was to see, and where the faulting read is
// to go on from then.
struct Fault {
  DWORD expected = 0;
  DWORD code = 0;
  ULONG_PTR accessKind = ~ULONG_PTR{0};
  ULONG_PTR address = 0;
  int count = 0;
  const DWORD* retryAt = nullptr;
};

Fault g_fault;
const DWORD g_elsewhere = 0xE15E0000;

// An x86 SEH handler: records the fault and points ECX, the reading
// instruction's address register, at memory that can be read, so that the
// same instruction runs again and succeeds: at retryAt for the expected
// fault, elsewhere for any other, so that a wrong one fails the case instead
// of faulting again. A fault that still comes back is passed on.
EXCEPTION_DISPOSITION __cdecl RecordAndRetry(EXCEPTION_RECORD* record, void*, CONTEXT* context, void*) {
  if (++g_fault.count > 1) return ExceptionContinueSearch;
  g_fault.code = record->ExceptionCode;
  if (record->NumberParameters >= 2) {
    g_fault.accessKind = record->ExceptionInformation[0];
    g_fault.address = record->ExceptionInformation[1];
  }
  const DWORD* next = record->ExceptionCode == g_fault.expected ? g_fault.retryAt : &g_elsewhere;
  context->Ecx = reinterpret_cast<DWORD>(next);
  return ExceptionContinueExecution;
}

// Reads the DWORD at `address` inside an SEH frame registered on fs:[0], the
// way compiled __try blocks of 32-bit Windows programs do.
DWORD ReadUnderSeh(const volatile DWORD* address) {
  struct Registration {
    Registration* next;
    void* handler;
  };
  Registration frame{nullptr, reinterpret_cast<void*>(&RecordAndRetry)};
  DWORD value;
  asm volatile(
      "movl %%fs:0, %%eax\n\t"
      "movl %%eax, (%[frame])\n\t"
      "movl %[frame], %%fs:0\n\t"
      "movl (%%ecx), %[value]\n\t"
      "movl (%[frame]), %%eax\n\t"
      "movl %%eax, %%fs:0\n\t"
      : [value] "=&r"(value), "+c"(address)
      : [frame] "r"(&frame)
      : "eax", "memory");
  return value;
}

TEST(Emulation, SehCatchesAnAccessViolationAndReadsAGuardPage) {
  DWORD fallback = 0x5AFE5AFE;
  g_fault = Fault{EXCEPTION_ACCESS_VIOLATION};
  g_fault.retryAt = &fallback;

  // An address no one maps: an access violation on a read, caught by the
  // frame, then the read succeeds from the fallback.
  const auto* unmapped = reinterpret_cast<const volatile DWORD*>(std::uintptr_t{0x10});
  EXPECT_EQ(ReadUnderSeh(unmapped), fallback);
  EXPECT_EQ(g_fault.count, 1);
  EXPECT_EQ(g_fault.code, static_cast<DWORD>(EXCEPTION_ACCESS_VIOLATION))
      << std::hex << "0x" << g_fault.code << " (0xC000001D, an illegal instruction, is what a wrong trap number gives)";
  EXPECT_EQ(g_fault.accessKind, ULONG_PTR{0}) << "0 is a read";
  EXPECT_EQ(g_fault.address, ULONG_PTR{0x10});

  // A guard page: the first read raises STATUS_GUARD_PAGE_VIOLATION and
  // drops the guard; the program's own read of the page then goes through.
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  auto* page = static_cast<DWORD*>(VirtualAlloc(nullptr, system.dwPageSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(page, nullptr) << GetLastError();
  page[0] = 0x600DF00D;
  DWORD oldProtect = 0;
  ASSERT_TRUE(VirtualProtect(page, system.dwPageSize, PAGE_READWRITE | PAGE_GUARD, &oldProtect)) << GetLastError();

  g_fault = Fault{static_cast<DWORD>(STATUS_GUARD_PAGE_VIOLATION)};
  g_fault.retryAt = page;
  EXPECT_EQ(ReadUnderSeh(page), 0x600DF00Du);
  EXPECT_EQ(g_fault.count, 1);
  EXPECT_EQ(g_fault.code, static_cast<DWORD>(STATUS_GUARD_PAGE_VIOLATION)) << std::hex << "0x" << g_fault.code;
  EXPECT_EQ(g_fault.address, reinterpret_cast<ULONG_PTR>(page));

  g_fault = Fault{};
  g_fault.retryAt = &g_elsewhere;
  EXPECT_EQ(ReadUnderSeh(page), 0x600DF00Du);
  EXPECT_EQ(g_fault.count, 0) << "the guard outlived its first fault";

  MEMORY_BASIC_INFORMATION info{};
  ASSERT_EQ(VirtualQuery(page, &info, sizeof info), sizeof info);
  EXPECT_EQ(info.Protect, static_cast<DWORD>(PAGE_READWRITE));
  VirtualFree(page, 0, MEM_RELEASE);
}

#endif

}  // namespace
}  // namespace e2e
