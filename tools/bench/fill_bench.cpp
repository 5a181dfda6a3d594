// The port page's list fill with many ports, against the bare enumeration
// it cannot do without. Adds "BENCH000:" ... values to the spooler's Ports
// key until the spooler lists <count> ports (so run it in a throw-away
// prefix), then per repetition times
//   oriel: ListPorts, then the rows into a fresh two-column report list view,
//          as the port page fills its list (its own code, compiled in);
//   floor: EnumPortsA level 2, asking for the size and then the records, and
//          the debugger line per listed port that the page writes too.
// One line per measurement: "fill<count> <oriel|floor> <microseconds>".
//
//   fill_bench <repetitions> <count>...
#include <windows.h>
#include <commctrl.h>
#include <winspool.h>

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "pages/logic/port_rows.h"
#include "pages/port_list_view.h"
#include "platform/win32/toolkit/controls.h"
#include "platform/win32/services/spooler.h"
#include "platform/win32/services/system.h"

namespace {

constexpr DWORD kPauseMs = 300;
constexpr const char* kPortsKey = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Ports";

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

// The floor: returns how many ports the spooler listed.
DWORD EnumeratePorts() {
  DWORD needed = 0, returned = 0;
  EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned)) {
    Fail("EnumPortsA failed: error " + std::to_string(GetLastError()));
  }
  return returned;
}

void AddPortsUpTo(DWORD count) {
  DWORD listed = EnumeratePorts();
  if (listed > count) Fail("the spooler already lists " + std::to_string(listed) + " ports");
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kPortsKey, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, &key) != ERROR_SUCCESS) {
    Fail(std::string("cannot open HKLM\\") + kPortsKey);
  }
  for (int next = 0; listed < count; ++next) {
    char name[16];
    std::snprintf(name, sizeof name, "BENCH%03d:", next);
    // A value already there (an earlier count) is skipped by the recount.
    if (RegQueryValueExA(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) continue;
    if (RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1) != ERROR_SUCCESS) {
      RegCloseKey(key);
      Fail(std::string("cannot add the port value ") + name);
    }
    ++listed;
  }
  RegCloseKey(key);
  if (const DWORD now = EnumeratePorts(); now != count) {
    Fail("the spooler lists " + std::to_string(now) + " ports, not " + std::to_string(count));
  }
}

class Host {
 public:
  Host() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"OrielFillBench";
    RegisterClassW(&windowClass);
    // Hidden, as the page is while WM_INITDIALOG fills its list.
    window_ = CreateWindowExW(0, L"OrielFillBench", L"fill", WS_OVERLAPPEDWINDOW, 0, 0, 700, 400, nullptr, nullptr,
                              windowClass.hInstance, nullptr);
    if (!window_) Fail("cannot create the host window");
  }
  ~Host() { DestroyWindow(window_); }

  // A list view as the port page's template and OnInitDialog make it.
  HWND NewList() const {
    HWND list = CreateWindowExW(0, WC_LISTVIEWW, L"List1",
                                WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                                    LVS_SHOWSELALWAYS,
                                10, 70, 460, 150, window_, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!list) Fail("cannot create the list view");
    oriel::win32::ListView view(list);
    view.InsertColumn(0, "Port");
    view.InsertColumn(1, "Type");
    view.SetColumnWidth(0, 150);
    view.SetColumnWidth(1, 280);
    return list;
  }

 private:
  HWND window_ = nullptr;
};

oriel::win32::Win32Spooler spooler;
oriel::win32::Win32System systemServices;

// The port page's fill: its own two calls.
int Fill(HWND list) {
  const oriel::win32::ListView view(list);
  oriel::ShowPortListing(view, oriel::ListPorts(spooler, systemServices));
  return view.GetItemCount();
}

long long TimeFill(const Host& host, int expectedRows) {
  HWND list = host.NewList();
  const long long start = NowMicros();
  const int rows = Fill(list);
  const long long micros = NowMicros() - start;
  DestroyWindow(list);
  if (rows != expectedRows) Fail("the list got " + std::to_string(rows) + " rows, not " + std::to_string(expectedRows));
  return micros;
}

// The floor: the enumeration and the one debugger line per listed port that
// the page must write; under Wine each line costs tens of microseconds.
DWORD EnumerateAndLog() {
  DWORD needed = 0, returned = 0;
  EnumPortsA(nullptr, 2, nullptr, 0, &needed, &returned);
  std::vector<BYTE> buffer(needed ? needed : 1);
  if (!EnumPortsA(nullptr, 2, buffer.data(), needed, &needed, &returned)) {
    Fail("EnumPortsA failed: error " + std::to_string(GetLastError()));
  }
  const auto* ports = reinterpret_cast<const PORT_INFO_2A*>(buffer.data());
  const auto cap = static_cast<DWORD>(oriel::kMaxListedPorts);
  const DWORD listed = returned < cap ? returned : cap;
  std::string line;
  for (DWORD i = 0; i < listed; ++i) {
    line.assign(ports[i].pPortName ? ports[i].pPortName : "").push_back('\n');
    OutputDebugStringA(line.c_str());
  }
  return returned;
}

long long TimeFloor(DWORD expectedPorts) {
  const long long start = NowMicros();
  const DWORD ports = EnumerateAndLog();
  const long long micros = NowMicros() - start;
  if (ports != expectedPorts) Fail("EnumPortsA listed " + std::to_string(ports) + " ports");
  return micros;
}

void Report(DWORD count, const char* side, long long micros) {
  std::printf("fill%lu %s %lld\n", static_cast<unsigned long>(count), side, micros);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: fill_bench <repetitions> <count>...\n");
    return 2;
  }
  try {
    const int repetitions = std::atoi(argv[1]);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    const Host host;
    for (int arg = 2; arg < argc; ++arg) {
      const auto count = static_cast<DWORD>(std::strtoul(argv[arg], nullptr, 10));
      AddPortsUpTo(count);
      const int rows = static_cast<int>(count < oriel::kMaxListedPorts ? count : oriel::kMaxListedPorts);
      // The first round loads and warms what every later one finds ready.
      TimeFill(host, rows);
      TimeFloor(count);
      for (int i = 0; i < repetitions; ++i) {
        // Alternate which goes first so a drift in the machine's load is shared.
        for (const bool orielTurn : {i % 2 == 0, i % 2 != 0}) {
          // Filling list views back to back leaves the desktop work to catch
          // up on (under Wine each fill gets slower, 30 ms to 150 ms and
          // more), and even a listing just before slows the next fill. The
          // page fills once, after the user's clicks: start each measurement
          // from a quiet moment, which also spreads the pairs over the
          // machine's bursts of other load.
          Sleep(kPauseMs);
          if (orielTurn) {
            Report(count, "oriel", TimeFill(host, rows));
          } else {
            Report(count, "floor", TimeFloor(count));
          }
        }
      }
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "fill_bench: %s\n", e.what());
    return 1;
  }
}
