#include <windows.h>
#include <hstring.h>
#include <inspectable.h>
#include <roapi.h>
#include <winstring.h>

#include "platform/win32/services/protected_print.h"

#include "platform/win32/runtime/system_library.h"

namespace oriel::win32 {

namespace {

// From the Windows SDK's windows.graphics.printing.protectedprint.h
// (UniversalApiContract 19): the statics interface has one method after
// IInspectable's.
struct IWindowsProtectedPrintInfoStatics : public IInspectable {
  virtual HRESULT STDMETHODCALLTYPE get_IsProtectedPrintEnabled(boolean* value) = 0;
};

constexpr IID kIidProtectedPrintInfoStatics = {
    0xa7d212f3, 0x4168, 0x5485, {0x98, 0xab, 0xd8, 0x9d, 0x04, 0x60, 0x3b, 0x40}};
constexpr wchar_t kProtectedPrintInfoClass[] = L"Windows.Graphics.Printing.ProtectedPrint.WindowsProtectedPrintInfo";

}  // namespace

std::optional<bool> ProtectedPrintEnabled(std::int32_t* hresult) {
  auto fail = [&](HRESULT result) -> std::optional<bool> {
    if (hresult != nullptr) *hresult = static_cast<std::int32_t>(result);
    return std::nullopt;
  };
  if (hresult != nullptr) *hresult = 0;
  // combase.dll is Windows 8 and later; the installation asks only there.
  static HMODULE combase = SystemModule(L"combase.dll");
  if (combase == nullptr) return fail(HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  auto roInitialize = ORIEL_SYSTEM_FUNCTION(combase, RoInitialize);
  auto roUninitialize = ORIEL_SYSTEM_FUNCTION(combase, RoUninitialize);
  auto getFactory = ORIEL_SYSTEM_FUNCTION(combase, RoGetActivationFactory);
  auto createReference = ORIEL_SYSTEM_FUNCTION(combase, WindowsCreateStringReference);
  if (roInitialize == nullptr || roUninitialize == nullptr || getFactory == nullptr || createReference == nullptr)
    return fail(HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));

  // A single-threaded apartment, as the dialogs' thread needs. S_FALSE (already
  // initialised) must be balanced too; RPC_E_CHANGED_MODE means another
  // apartment is already set up, which activation can use as it is:
  // https://learn.microsoft.com/en-us/windows/win32/api/roapi/nf-roapi-roinitialize
  const HRESULT initialized = roInitialize(RO_INIT_SINGLETHREADED);
  if (FAILED(initialized) && initialized != RPC_E_CHANGED_MODE) return fail(initialized);

  HSTRING_HEADER header;
  HSTRING className = nullptr;
  HRESULT result = createReference(kProtectedPrintInfoClass,
                                   static_cast<UINT32>(sizeof(kProtectedPrintInfoClass) / sizeof(wchar_t) - 1),
                                   &header, &className);
  std::optional<bool> answer;
  if (SUCCEEDED(result)) {
    // REGDB_E_CLASSNOTREG where Windows has no such class:
    // https://learn.microsoft.com/en-us/windows/win32/api/roapi/nf-roapi-rogetactivationfactory
    IWindowsProtectedPrintInfoStatics* statics = nullptr;
    result = getFactory(className, kIidProtectedPrintInfoStatics, reinterpret_cast<void**>(&statics));
    if (SUCCEEDED(result) && statics != nullptr) {
      // https://learn.microsoft.com/en-us/uwp/api/windows.graphics.printing.protectedprint.windowsprotectedprintinfo.isprotectedprintenabled
      boolean enabled = 0;
      result = statics->get_IsProtectedPrintEnabled(&enabled);
      if (SUCCEEDED(result)) answer = enabled != 0;
      statics->Release();
    } else if (SUCCEEDED(result)) {
      result = E_NOINTERFACE;
    }
  }
  if (SUCCEEDED(initialized)) roUninitialize();
  if (!answer) return fail(result);
  return answer;
}

}  // namespace oriel::win32
