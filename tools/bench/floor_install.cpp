// The floor of the install figure: the package check, file copies, spooler
// calls and default-printer change an install of "RK-T410(Cut) Series" cannot
// do without, straight in a row, run when the "Install" button of its one
// dialog ("Floor Install") is pressed; the dialog then closes. Like Oriel, it
// paints its progress bar at each milestone (after the module, data and
// shared-file copies, the driver, the printer, the default printer and the
// end), since a user must see the install move. The bench
// driver times it from the click to the dialog's end, as it times Oriel's
// port page, so both pay the click's delivery and the window's closing.
// Run in a package folder. Like Oriel, a 32-bit build installs the x86
// package (win2k\) and a 64-bit build, which runs on 64-bit Windows only, the
// x64 one (x64\). Exit status 1 and a message on stderr when a call fails,
// since a failed run measured nothing.
#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

#include "tools/bench/floor_template.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

#ifdef _WIN64
const char kEnvironment[] = "Windows x64";
const char kPackageFolder[] = "x64\\";
#else
const char kEnvironment[] = "Windows NT x86";
const char kPackageFolder[] = "win2k\\";
#endif

const char* const kFiles[] = {"RKT4X.DLL",  "RKT410cut.GPD", "uniDRVui.DLL", "uniDRV.DLL",   "UNIDRV.HLP",
                              "UNIRES.DLL", "TTFSUB.GPD",    "STDNAMES.GPD", "RKUNI.ini",    "RKUNI.dll"};
// The position reached after each copy (0: none), as Oriel's.
const int kCopyMilestones[] = {10, 20, 30, 0, 40, 0, 50, 0, 0, 60};

// The literal's own terminator closes the list.
const char kDependentFiles[] = "\\ttfsub.GPD\0\\unires.DLL\0\\stdnames.GPD\0RKT4X.DLL\0";

int Fail(const char* what) {
  std::fprintf(stderr, "floor_install: %s failed: error %lu\n", what, GetLastError());
  return 1;
}

// The spooler loads its providers on first use. Oriel has listed the ports
// on its port page before Install is clicked, so do the same outside the
// timing: both then start from a spooler already loaded.
void TouchSpooler() {
  DWORD needed = 0, returned = 0;
  EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed ? needed : 1);
  EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned);
}

// The same two calls as Oriel's progress sink: the position, then the paint.
HWND progressBar = nullptr;
void Milestone(int percent) {
  SendMessageW(progressBar, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  UpdateWindow(progressBar);
}

int Install() {
  std::string directory(MAX_PATH + 1, '\0');
  DWORD needed = 0;
  if (!GetPrinterDriverDirectoryA(nullptr, const_cast<char*>(kEnvironment), 1,
                                  reinterpret_cast<BYTE*>(directory.data()), static_cast<DWORD>(directory.size()),
                                  &needed)) {
    return Fail("GetPrinterDriverDirectoryA");
  }
  directory.resize(directory.find('\0'));

  // Nothing is written before every source is known to be readable.
  for (const char* name : kFiles) {
    const std::string source = std::string(kPackageFolder) + name;
    HANDLE file = CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Fail(source.c_str());
    CloseHandle(file);
  }

  for (size_t i = 0; i < sizeof kFiles / sizeof kFiles[0]; ++i) {
    const std::string source = std::string(kPackageFolder) + kFiles[i];
    const std::string destination = directory + "\\" + kFiles[i];
    if (!CopyFileA(source.c_str(), destination.c_str(), FALSE)) return Fail(source.c_str());
    if (kCopyMilestones[i] != 0) Milestone(kCopyMilestones[i]);
  }

  DRIVER_INFO_3A driver{};
  driver.cVersion = 2;
  driver.pName = const_cast<char*>("RK-T410(Cut) Series");
  driver.pEnvironment = const_cast<char*>(kEnvironment);
  driver.pDriverPath = const_cast<char*>("\\uniDRV.DLL");
  driver.pDataFile = const_cast<char*>("\\RKT410cut.GPD");
  driver.pConfigFile = const_cast<char*>("\\uniDRVui.DLL");
  driver.pHelpFile = const_cast<char*>("\\uniDRV.HLP");
  driver.pDependentFiles = const_cast<char*>(kDependentFiles);
  driver.pMonitorName = const_cast<char*>("");
  driver.pDefaultDataType = const_cast<char*>("RAW");
  if (!AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&driver))) return Fail("AddPrinterDriverA");
  Milestone(70);

  PRINTER_INFO_2A printer{};
  printer.pPrinterName = const_cast<char*>("RK-T410(Cut) Series");
  printer.pPortName = const_cast<char*>("LPT1:");
  printer.pDriverName = const_cast<char*>("RK-T410(Cut) Series");
  printer.pPrintProcessor = const_cast<char*>("WinPrint");
  printer.pDatatype = const_cast<char*>("RAW");
  HANDLE handle = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&printer));
  if (!handle) return Fail("AddPrinterA");
  ClosePrinter(handle);
  Milestone(80);

  // The new default printer, and the broadcast that tells running programs.
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", 0,
                    KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    const char device[] = "RK-T410(Cut) Series,winspool,LPT1:";
    RegSetValueExA(key, "Device", 0, REG_SZ, reinterpret_cast<const BYTE*>(device), sizeof device);
    RegCloseKey(key);
    DWORD_PTR result = 0;
    SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("windows"), SMTO_ABORTIFHUNG,
                        1000, &result);
  }
  Milestone(90);
  // Oriel's 95 follows the serial-port value (none for an LPT port), its
  // 100 the pause the bench takes off its figure.
  Milestone(95);
  Milestone(100);
  return 0;
}

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  if (message == WM_INITDIALOG) {
    progressBar = GetDlgItem(dialog, floor_template::kProgressId);
    SendMessageW(progressBar, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SendMessageW(progressBar, PBM_SETPOS, 0, 0);
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDOK) {
    EndDialog(dialog, Install());
    return TRUE;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
    EndDialog(dialog, 1);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  TouchSpooler();
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  const std::vector<WORD> t = floor_template::Dialog(L"Floor Install", L"Install", true);
  return static_cast<int>(
      DialogBoxIndirectParamW(instance, reinterpret_cast<const DLGTEMPLATE*>(t.data()), nullptr, DialogProc, 0));
}
