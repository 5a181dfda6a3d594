#pragma once
// What processor Windows runs on, and whether this process runs under WOW64.
#include <cstdint>
#include <optional>

namespace oriel::win32 {

// The flag IsWow64Process leaves for this process: 0 where the function is
// missing or fails. A 64-bit build answers 1.
int Wow64Flag();

// IMAGE_FILE_MACHINE_* of the machine (0x14c i386, 0x8664 AMD64, 0xAA64
// ARM64) as IsWow64Process2 reports it; nullopt before Windows 10 1709 or
// when the call fails.
std::optional<std::uint16_t> NativeMachine();

}  // namespace oriel::win32
