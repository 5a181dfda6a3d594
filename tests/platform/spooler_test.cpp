// A printer that exists already, moved to another port through the calls the
// installer makes when AddPrinterA answers "already exists".
#include <windows.h>
#include <winspool.h>
#undef OpenPrinter  // the wrapper's method, not the header's macro

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/services/spooler.h"
#include "tests/e2e/spooler_checks.h"

namespace oriel {
namespace {

const std::wstring& Environment() {
  return sizeof(void*) == 8 ? e2e::kEnvironmentX64 : e2e::kEnvironmentX86;
}

// Wine's spooler lets any handle set a printer; Windows' refuses SetPrinter
// level 2 without PRINTER_ACCESS_ADMINISTER, so the access asked for is read
// on its way in. The next OpenPrinterA jumps here, which puts the entry's
// bytes back and forwards the call.
// https://learn.microsoft.com/en-us/windows/win32/printdocs/setprinter
class OpenPrinterSpy {
 public:
  OpenPrinterSpy() {
    entry_ = reinterpret_cast<unsigned char*>(GetProcAddress(GetModuleHandleW(L"winspool.drv"), "OpenPrinterA"));
    if (entry_ == nullptr) return;
    const auto hook = reinterpret_cast<std::uintptr_t>(&Hook);
#if defined(_WIN64)
    unsigned char jump[kJumpSize] = {0x48, 0xB8};  // mov rax, hook; jmp rax
    std::memcpy(jump + 2, &hook, 8);
    jump[10] = 0xFF;
    jump[11] = 0xE0;
#else
    unsigned char jump[kJumpSize] = {0xE9};  // jmp rel32
    const auto offset = static_cast<std::uint32_t>(hook - (reinterpret_cast<std::uintptr_t>(entry_) + kJumpSize));
    std::memcpy(jump + 1, &offset, 4);
#endif
    std::memcpy(saved_, entry_, kJumpSize);
    spy_ = this;
    armed_ = Write(jump);
  }
  ~OpenPrinterSpy() { Disarm(); }
  bool armed() const { return armed_; }
  bool called = false;
  DWORD access = 0;

 private:
  static constexpr std::size_t kJumpSize = sizeof(void*) == 8 ? 12 : 5;
  static inline OpenPrinterSpy* spy_ = nullptr;

  static BOOL WINAPI Hook(LPSTR name, LPHANDLE handle, LPPRINTER_DEFAULTSA defaults) {
    spy_->called = true;
    spy_->access = defaults != nullptr ? defaults->DesiredAccess : 0;
    spy_->Disarm();
    return reinterpret_cast<decltype(&OpenPrinterA)>(spy_->entry_)(name, handle, defaults);
  }
  bool Write(const unsigned char* bytes) {
    DWORD old = 0;
    if (!VirtualProtect(entry_, kJumpSize, PAGE_EXECUTE_READWRITE, &old)) return false;
    std::memcpy(entry_, bytes, kJumpSize);
    VirtualProtect(entry_, kJumpSize, old, &old);
    FlushInstructionCache(GetCurrentProcess(), entry_, kJumpSize);
    return true;
  }
  void Disarm() {
    if (armed_) Write(saved_);
    armed_ = false;
  }
  unsigned char* entry_ = nullptr;
  unsigned char saved_[kJumpSize] = {};
  bool armed_ = false;
};

TEST(Spooler, ExistingPrinterMovesToAnotherPort) {
  const std::string name = "Oriel tier printer";
  e2e::RegisterTestDriver(Environment(), L"Oriel tier driver");
  win32::Win32Spooler spooler;
  PrinterRecord2 created{};
  created.pPrinterName = name.c_str();
  created.pPortName = "LPT1:";
  created.pDriverName = "Oriel tier driver";
  created.pPrintProcessor = "WinPrint";
  created.pDatatype = "RAW";
  std::uint32_t error = 0;
  PrinterHandle printer = spooler.AddPrinter2(created, error);
  ASSERT_NE(printer, nullptr) << "AddPrinterA: " << error;
  spooler.ClosePrinter(printer);

  {
    OpenPrinterSpy spy;
    ASSERT_TRUE(spy.armed());
    printer = spooler.OpenPrinter(name, error);
    ASSERT_TRUE(spy.called);
    EXPECT_EQ(spy.access & PRINTER_ACCESS_ADMINISTER, DWORD{PRINTER_ACCESS_ADMINISTER});
  }
  ASSERT_NE(printer, nullptr) << "OpenPrinterA: " << error;
  std::uint32_t needed = 0;
  EXPECT_EQ(spooler.GetPrinter2(printer, nullptr, 0, needed), 122u);
  ASSERT_GE(needed, sizeof(PrinterRecord2));
  std::vector<std::byte> buffer(needed);
  ASSERT_EQ(spooler.GetPrinter2(printer, buffer.data(), needed, needed), 0u);
  PrinterRecord2 record;
  std::memcpy(&record, buffer.data(), sizeof(record));
  record.pPortName = "COM2:";
  record.pSecurityDescriptor = nullptr;
  EXPECT_EQ(spooler.SetPrinter2(printer, record), 0u);
  spooler.ClosePrinter(printer);

  const auto moved = e2e::SpoolerPrinter(L"Oriel tier printer");
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->port, L"COM2:");
  EXPECT_EQ(moved->driver, L"Oriel tier driver");
}

}  // namespace
}  // namespace oriel
