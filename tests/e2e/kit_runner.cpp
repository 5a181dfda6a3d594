// The driver's own main, and the engine of the Windows test kit's
// run-tests.cmd: each case of each target in a process of its own, one at a
// time, each within a time limit. A case that does not end is pictured and
// ended with everything it started. One JUnit file; the counts come last.
//   oriel_e2e.exe --kit RESULTS ARCH DRIVER EXE FILTER [ARCH DRIVER EXE FILTER]...
#include "tests/e2e/ui_driver.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace e2e {
namespace {

// ERROR_ELEVATION_REQUIRED, which mingw-w64's headers lack:
// https://learn.microsoft.com/en-us/windows/win32/debug/system-error-codes--500-999-
constexpr DWORD kElevationRequired = 740;

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The command's output goes to `log`. Empty when it did not end in time.
std::optional<DWORD> Run(std::wstring command, const std::wstring& log, DWORD seconds, const std::wstring& picture) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = CreateFileW(log.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = out;
  HANDLE job = CreateJobObjectW(nullptr, nullptr);
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof limits);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                      &process)) {
    const std::string error = LastErrorText();
    CloseHandle(out), CloseHandle(job);
    throw std::runtime_error("cannot start " + Utf8(command) + ": " + error);
  }
  const bool inJob = AssignProcessToJobObject(job, process.hProcess);
  ResumeThread(process.hThread);
  std::optional<DWORD> status;
  if (WaitForSingleObject(process.hProcess, seconds * 1000) == WAIT_OBJECT_0) {
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    status = code;
  } else {
    try {
      if (!picture.empty()) SaveScreenshot(picture, GetForegroundWindow());
    } catch (const std::exception& e) {
      std::printf("\n  no picture: %s", e.what());
    }
    TerminateJobObject(job, 1);
    TerminateProcess(process.hProcess, 1);
    WaitForSingleObject(process.hProcess, 5000);
    // Outside a job (a job in a job needs Windows 8) Oriel.exe outlives it.
    if (!inJob) Run(L"taskkill /f /im Oriel.exe", log + L".taskkill", 30, L"");
  }
  for (HANDLE handle : {process.hProcess, process.hThread, out, job}) CloseHandle(handle);
  return status;
}

// The cases the driver lists for `command` (its path, options and filter).
std::vector<std::string> List(const std::wstring& command, const std::wstring& file) {
  Run(command + L" --gtest_list_tests", file, 120, L"");
  std::istringstream list(ReadAll(file));
  std::vector<std::string> cases;
  std::string suite;
  for (std::string line; std::getline(list, line);) {
    const std::string name = line.substr(0, line.find_first_of(" \r", line[0] == ' ' ? 2 : 0));
    if (line.rfind("  ", 0) == 0) cases.push_back(suite + name.substr(2));
    else if (!line.empty() && line.back() != ':' && line.find('.') != std::string::npos) suite = name;
  }
  return cases;
}

// The skip's message attribute, its entities read back.
std::string SkipReason(const std::string& testcase) {
  const std::size_t begin = testcase.find("<skipped message=\"");
  if (begin == std::string::npos) return {};
  std::string text = testcase.substr(begin + 18, testcase.find('"', begin + 18) - begin - 18);
  // GoogleTest puts the skip's file and line first, on a line of their own.
  if (const std::size_t line = text.find("&#x0A;"); line != std::string::npos) text.erase(0, line + 6);
  for (const auto& [entity, plain] : {std::pair{"&#x0A;", " "}, {"&quot;", "\""}, {"&apos;", "'"}, {"&lt;", "<"},
                                      {"&gt;", ">"}, {"&amp;", "&"}}) {
    for (std::size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
      text.replace(at, std::strlen(entity), plain);
    }
  }
  return text;
}

int RunKit(const std::vector<std::wstring>& args) {
  if (args.size() < 5 || (args.size() - 1) % 4) {
    std::printf("usage: oriel_e2e.exe --kit RESULTS ARCH DRIVER EXE FILTER [ARCH DRIVER EXE FILTER]...\n");
    return 2;
  }
  const std::wstring& results = args[0];
  const DWORD seconds = GetEnv(L"ORIEL_CASE_SECONDS").empty() ? 300 : std::wcstoul(GetEnv(L"ORIEL_CASE_SECONDS").c_str(), nullptr, 10);
  wchar_t station[64] = L"";
  GetUserObjectInformationW(GetProcessWindowStation(), UOI_NAME, station, sizeof station - sizeof(wchar_t), nullptr);
  if (lstrcmpiW(station, L"WinSta0") != 0) {
    std::printf("run-tests: no desktop here (window station \"%s\"): the cases drive windows and take pictures.\n"
                "  Run the kit in a logged-on user's session, not as a service.\n", Utf8(station).c_str());
    return 1;
  }
  CreateDirectoryW(results.c_str(), nullptr);
  int passed = 0, failed = 0, skipped = 0;
  std::string suites;
  for (std::size_t t = 1; t < args.size(); t += 4) {
    const std::wstring& arch = args[t];
    const std::wstring driver = L"\"" + args[t + 1] + L"\" --gtest_color=no --gtest_filter=";
    std::wstring exe(MAX_PATH * 8, L'\0');
    exe.resize(GetFullPathNameW(args[t + 2].c_str(), static_cast<DWORD>(exe.size()), exe.data(), nullptr));
    // Oriel.exe asks for elevation in its manifest; only an elevated process starts it.
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION probe{};
    if (!CreateProcessW(exe.c_str(), nullptr, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup, &probe)) {
      const DWORD error = GetLastError();
      std::printf(error == kElevationRequired
                      ? "run-tests: not elevated: Windows starts Oriel.exe only elevated (CreateProcess: %s).\n"
                        "  Open the command prompt with \"Run as administrator\" and run the kit again.\n"
                      : "run-tests: cannot start Oriel.exe (%s)\n", ErrorText(error).c_str());
      return 1;
    }
    TerminateProcess(probe.hProcess, 1), CloseHandle(probe.hProcess), CloseHandle(probe.hThread);
    SetEnvironmentVariableW(L"ORIEL_ARCH", arch.c_str());
    SetEnvironmentVariableW(L"ORIEL_EXE", exe.c_str());
    const std::wstring prefix = results + L"\\" + arch;
    std::vector<std::string> cases = List(driver + args[t + 3], prefix + L"-list.txt");
    // Wine 8 refuses AddPrinterA for a "Windows x64" driver from a 32-bit
    // process (Windows' spooler does not): under Wine's WOW64 the cases that
    // need it are named as Wine's limit, not run.
    std::vector<std::string> wineLimit;
    if (arch == L"wow64" && UnderWine()) wineLimit = List(driver + Wide(ORIEL_WINE_WOW64_REFUSES), prefix + L"-wine.txt");
    // A filter that only names cases runs them in its order.
    const std::string filter = ":" + Utf8(args[t + 3]) + ":";
    if (filter.find_first_of("*?-") == std::string::npos) {
      std::stable_sort(cases.begin(), cases.end(), [&](const std::string& a, const std::string& b) {
        return filter.find(":" + a + ":") < filter.find(":" + b + ":");
      });
    }
    std::printf("run-tests: %s: %zu cases of %s\n", Utf8(arch).c_str(), cases.size(), Utf8(exe).c_str());
    std::string body;
    int counts[3] = {};  // passed, failed, skipped
    for (std::size_t i = 0; i < cases.size(); ++i) {
      const std::wstring name = Wide(cases[i]), file = prefix + L"-" + std::to_wstring(i + 1);
      std::printf("[%s %zu/%zu] %s ", Utf8(arch).c_str(), i + 1, cases.size(), cases[i].c_str());
      std::fflush(stdout);
      DeleteFileW((file + L".xml").c_str());
      const DWORD start = GetTickCount();
      const std::size_t dot = cases[i].rfind('.');
      const std::string head = "<testcase name=\"" + cases[i].substr(dot + 1) + "\" classname=\"" + cases[i].substr(0, dot) + "\"";
      const bool limit = std::find(wineLimit.begin(), wineLimit.end(), cases[i]) != wineLimit.end();
      const auto status = limit ? std::optional<DWORD>(0)
                                : Run(driver + name + L" --gtest_output=xml:" + file + L".xml", file + L".log", seconds,
                                      arch + L"-TIMEOUT-" + name);
      const std::string xml = limit ? head + "><skipped message=\"Wine 8 refuses AddPrinterA for a Windows x64 driver "
                                             "from a 32-bit process (Windows does not)\"/></testcase>"
                                    : ReadAll(file + L".xml");
      const std::string time = std::to_string((GetTickCount() - start) / 1000);
      std::string testcase = xml.substr(std::min(xml.find("<testcase"), xml.size()));
      testcase = testcase.substr(0, testcase.rfind("</testsuite>"));
      testcase.erase(testcase.find_last_not_of(" \r\n") + 1);
      std::string why = !status ? "ended after " + time + " s without an end of its own"
                        : testcase.empty() ? "ended with status " + std::to_string(*status) + " and no result"
                                           : "";
      const int outcome = !why.empty() || *status != 0 ? 1 : testcase.find("<skipped") != std::string::npos ? 2 : 0;
      ++counts[outcome];
      if (outcome == 2) why = SkipReason(testcase);
      std::printf("%s (%s s)%s%s\n", outcome == 0 ? "passed" : outcome == 1 ? "FAILED" : "skipped", time.c_str(),
                  why.empty() ? "" : ": ", why.c_str());
      if (outcome == 1) std::printf("%s\n", ReadAll(file + L".log").c_str());
      if (testcase.empty()) testcase = head + " time=\"" + time + "\"><failure message=\"" + why + "\"/></testcase>";
      body += "    " + testcase.replace(testcase.find("classname=\"") + 11, 0, Utf8(arch) + ".") + "\n";
    }
    suites += "  <testsuite name=\"" + Utf8(arch) + "\" tests=\"" + std::to_string(cases.size()) + "\" failures=\"" +
              std::to_string(counts[1]) + "\" skipped=\"" + std::to_string(counts[2]) + "\">\n" + body +
              "  </testsuite>\n";
    passed += counts[0], failed += counts[1], skipped += counts[2];
  }
  std::ofstream(std::filesystem::path(results + L"\\junit.xml"), std::ios::binary)
      << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites name=\"oriel_e2e\">\n" << suites << "</testsuites>\n";
  if (passed == 0) std::printf("run-tests: no case passed: a run that shows nothing is no pass\n");
  std::printf("%d passed, %d failed, %d skipped\n", passed, failed, skipped);
  return failed == 0 && passed > 0 ? 0 : 1;
}

}  // namespace
}  // namespace e2e

int main(int argc, char** argv) {
  int count = 0;
  wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
  if (args && count > 1 && std::wstring(args[1]) == L"--kit") {
    try {
      return e2e::RunKit(std::vector<std::wstring>(args + 2, args + count));
    } catch (const std::exception& e) {
      std::printf("run-tests: %s\n0 passed, 1 failed, 0 skipped\n", e.what());
      return 1;
    }
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
