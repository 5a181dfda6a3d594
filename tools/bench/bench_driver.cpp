// Times Oriel.exe from the outside, under Wine, and runs the floor programs
// the same way, so that each figure is a pair measured alike. One result per
// line on stdout: "<figure> <oriel|floor> <microseconds>"; anything else
// goes to stderr. Exit status 1 when something could not be measured.
//
//   bench_driver start <Oriel.exe> <floor_dialog.exe> <folder> <repetitions>
//   bench_driver install-oriel <Oriel.exe> <folder> <settle ms>
//   bench_driver install-floor <floor_install.exe> <folder> <settle ms>
//   bench_driver install-held <Oriel.exe> <folder> <settle ms>
//
// <folder> is the package folder (win2k\ in it), the programs' current
// directory. Each install run wants a prefix without the printer.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/ui_driver.h"

namespace {

using e2e::OrielProcess;

const std::wstring kOsPageTitle = L"Select OS (x86/x64)";
const std::wstring kSettingsPageTitle = L"Detail Setting (x86/x64)";
const std::wstring kPortPageTitle = L"Select Port (x86/x64)";
const std::wstring kFloorDialogTitle = L"Floor Dialog";
const std::wstring kFloorInstallTitle = L"Floor Install";
// What the installer holds still for after its last step; not its work.
constexpr long long kFinalPauseMicros = 500000;
constexpr DWORD kGiveUpMs = 60000;
constexpr DWORD kStartPauseMs = 400;

[[noreturn]] void Fail(const std::string& message) { throw std::runtime_error(message); }

long long NowMicros() {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now.QuadPart / frequency * 1000000 + now.QuadPart % frequency * 1000000 / frequency;
}

void Report(const char* figure, const char* side, long long micros) {
  std::printf("%s %s %lld\n", figure, side, micros);
  std::fflush(stdout);
}

// Polls every millisecond (the figures are tens to hundreds of them) until
// a visible window of the process has this title and its thread answers:
// the dialog has been initialised and its modal loop is turning.
HWND WaitAnswering(const OrielProcess& app, const std::wstring& title) {
  const long long start = NowMicros();
  for (;;) {
    if (HWND window = e2e::FindWindowOf(app.Id(), title)) {
      DWORD_PTR ignored = 0;
      if (SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kGiveUpMs, &ignored)) return window;
    }
    if (!app.Running()) Fail("the program ended (" + app.Describe() + ") without showing " + e2e::Utf8(title));
    if (NowMicros() - start > kGiveUpMs * 1000LL) {
      Fail("no answering window \"" + e2e::Utf8(title) + "\"; windows: " + e2e::DescribeWindows(app.Id()));
    }
    Sleep(1);
  }
}

// Process creation to the first window visible and answering.
long long TimeStart(const std::wstring& exe, const std::wstring& folder, const std::wstring& title) {
  OrielProcess app;
  const long long start = NowMicros();
  app.Start(exe, folder);
  WaitAnswering(app, title);
  const long long micros = NowMicros() - start;
  app.Kill();
  return micros;
}

int RunStart(const std::wstring& oriel, const std::wstring& floor, const std::wstring& folder, int repetitions) {
  // The first start of each loads and caches what later ones find ready;
  // a user's second start is the common one, so that pair is left out.
  TimeStart(oriel, folder, kOsPageTitle);
  TimeStart(floor, folder, kFloorDialogTitle);
  for (int i = 0; i < repetitions; ++i) {
    // Alternate which goes first so a drift in the machine's load is shared.
    for (const bool orielTurn : {i % 2 == 0, i % 2 != 0}) {
      // A killed process leaves the server and the desktop cleaning up;
      // start each one from a quiet moment.
      Sleep(kStartPauseMs);
      if (orielTurn) {
        Report("start", "oriel", TimeStart(oriel, folder, kOsPageTitle));
      } else {
        Report("start", "floor", TimeStart(floor, folder, kFloorDialogTitle));
      }
    }
  }
  return 0;
}

// From the click on the install button to the end of its window, polled
// every millisecond: what a user waits for, measured alike for both sides.
long long TimeInstallClick(const OrielProcess& app, HWND window, HWND button, DWORD settleMs) {
  // A fresh prefix is still starting its services; let them finish.
  Sleep(settleMs);
  const long long start = NowMicros();
  e2e::Click(button);
  while (IsWindow(window)) {
    if (!app.Running()) Fail("the program ended during the install (" + app.Describe() + ")");
    if (NowMicros() - start > kGiveUpMs * 1000LL) Fail("the window did not close after Install");
    Sleep(1);
  }
  return NowMicros() - start;
}

// Oriel started and walked to its port page with the defaults.
HWND StartToPortPage(OrielProcess& app, const std::wstring& oriel, const std::wstring& folder) {
  app.Start(oriel, folder);
  e2e::Click(e2e::Control(WaitAnswering(app, kOsPageTitle), IDC_OS_NEXT));
  e2e::Click(e2e::Control(WaitAnswering(app, kSettingsPageTitle), IDC_SET_NEXT));
  return WaitAnswering(app, kPortPageTitle);
}

// Only a completed install is a measurement.
void ExpectCompleted(OrielProcess& app) {
  HWND box = e2e::WaitForMessageBox(app);
  const std::wstring text = e2e::MessageBoxText(box);
  if (text != L"Completed!") Fail("Oriel did not complete the install: \"" + e2e::Utf8(text) + "\"");
  e2e::PressMessageBoxButton(box);
  const DWORD status = app.WaitForExit();
  if (status != 0) Fail("Oriel ended with status " + std::to_string(status) + " after \"Completed!\"");
}

int RunInstallOriel(const std::wstring& oriel, const std::wstring& folder, DWORD settleMs) {
  OrielProcess app;
  HWND portPage = StartToPortPage(app, oriel, folder);
  const long long raw = TimeInstallClick(app, portPage, e2e::Control(portPage, IDC_PORT_INSTALL), settleMs);
  ExpectCompleted(app);
  Report("install", "oriel", raw - kFinalPauseMicros);
  std::fprintf(stderr, "install: port page closed %lld us after the click\n", raw);
  return 0;
}

// An install whose copy is held up (scripts/hold_copy.py): from the click on
// the install button to the end of its window, the page is sent WM_NULL
// over and over; the figure is the longest it took to answer one.
int RunInstallHeld(const std::wstring& oriel, const std::wstring& folder, DWORD settleMs) {
  OrielProcess app;
  HWND portPage = StartToPortPage(app, oriel, folder);
  Sleep(settleMs);
  const long long start = NowMicros();
  e2e::Click(e2e::Control(portPage, IDC_PORT_INSTALL));
  long long longest = 0;
  int answered = 0;
  while (IsWindow(portPage)) {
    if (NowMicros() - start > kGiveUpMs * 1000LL) Fail("the window did not close after Install");
    DWORD_PTR ignored = 0;
    const long long sent = NowMicros();
    if (SendMessageTimeoutW(portPage, WM_NULL, 0, 0, SMTO_NORMAL, kGiveUpMs, &ignored)) {
      longest = std::max(longest, NowMicros() - sent);
      ++answered;
    }
    Sleep(5);
  }
  ExpectCompleted(app);
  Report("held", "oriel", longest);
  std::fprintf(stderr, "held: %d answers in %lld us, the longest %lld us\n", answered, NowMicros() - start, longest);
  return 0;
}

int RunInstallFloor(const std::wstring& floor, const std::wstring& folder, DWORD settleMs) {
  OrielProcess app;
  app.Start(floor, folder);
  HWND dialog = WaitAnswering(app, kFloorInstallTitle);
  const long long raw = TimeInstallClick(app, dialog, e2e::Control(dialog, IDOK), settleMs);
  const DWORD status = app.WaitForExit();
  if (status != 0) Fail("the floor failed (status " + std::to_string(status) + ")");
  Report("install", "floor", raw);
  return 0;
}

DWORD Number(const wchar_t* text) {
  wchar_t* end = nullptr;
  const unsigned long value = std::wcstoul(text, &end, 10);
  if (end == text || *end) Fail("not a number: " + e2e::Utf8(text));
  return static_cast<DWORD>(value);
}

int Usage() {
  std::fprintf(stderr,
               "usage: bench_driver start <Oriel.exe> <floor_dialog.exe> <folder> <repetitions>\n"
               "       bench_driver install-oriel <Oriel.exe> <folder> <settle ms>\n"
               "       bench_driver install-floor <floor_install.exe> <folder> <settle ms>\n"
               "       bench_driver install-held <Oriel.exe> <folder> <settle ms>\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  try {
    if (args.size() == 5 && args[0] == L"start") return RunStart(args[1], args[2], args[3], static_cast<int>(Number(args[4].c_str())));
    if (args.size() == 4 && args[0] == L"install-oriel") return RunInstallOriel(args[1], args[2], Number(args[3].c_str()));
    if (args.size() == 4 && args[0] == L"install-held") return RunInstallHeld(args[1], args[2], Number(args[3].c_str()));
    if (args.size() == 4 && args[0] == L"install-floor") return RunInstallFloor(args[1], args[2], Number(args[3].c_str()));
    return Usage();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "bench_driver: %s\n", e.what());
    return 1;
  }
}
