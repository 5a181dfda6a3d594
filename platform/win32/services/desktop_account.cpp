#include <windows.h>
#include <sddl.h>
#include <wtsapi32.h>

#include "platform/win32/services/desktop_account.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/runtime/system_library.h"

namespace oriel::win32 {

namespace {

class Handle {
 public:
  explicit Handle(HANDLE handle = nullptr) : handle_(handle) {}
  ~Handle() {
    if (handle_ != nullptr) ::CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }
  HANDLE* out() { return &handle_; }

 private:
  HANDLE handle_;
};

using SidBytes = std::vector<BYTE>;

SidBytes CopySidBytes(PSID sid) {
  if (sid == nullptr || !::IsValidSid(sid)) return {};
  SidBytes bytes(::GetLengthSid(sid));
  if (!::CopySid(static_cast<DWORD>(bytes.size()), bytes.data(), sid)) return {};
  return bytes;
}

// The token user's SID of a process, empty when the token cannot be read.
SidBytes TokenUserSid(HANDLE process) {
  Handle token;
  if (!::OpenProcessToken(process, TOKEN_QUERY, token.out())) return {};
  DWORD size = 0;
  ::GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size < sizeof(TOKEN_USER)) return {};
  std::vector<TOKEN_USER> buffer(size / sizeof(TOKEN_USER) + 1);  // aligned for the structure
  if (!::GetTokenInformation(token.get(), TokenUser, buffer.data(),
                             static_cast<DWORD>(buffer.size() * sizeof(TOKEN_USER)), &size))
    return {};
  return CopySidBytes(buffer[0].User.Sid);
}

std::string SidString(SidBytes& sid) {
  char* text = nullptr;
  if (!::ConvertSidToStringSidA(sid.data(), &text) || text == nullptr) return {};
  std::string result(text);
  ::LocalFree(text);
  return result;
}

// "DOMAIN\user" as LookupAccountSidA spells it; empty when it cannot.
std::string AccountName(SidBytes& sid) {
  DWORD nameLength = 0;
  DWORD domainLength = 0;
  SID_NAME_USE use;
  ::LookupAccountSidA(nullptr, sid.data(), nullptr, &nameLength, nullptr, &domainLength, &use);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || nameLength == 0) return {};
  std::string name(nameLength, '\0');
  std::string domain(domainLength + 1, '\0');
  domainLength = static_cast<DWORD>(domain.size());
  if (!::LookupAccountSidA(nullptr, sid.data(), name.data(), &nameLength, domain.data(), &domainLength, &use))
    return {};
  // The lengths are documented only for a short buffer, and Wine's A function
  // counts the terminator on success: trust the terminator instead.
  // https://learn.microsoft.com/en-us/windows/win32/api/winbase/nf-winbase-lookupaccountsida
  name.resize(std::strlen(name.c_str()));
  domain.resize(std::strlen(domain.c_str()));
  return domain.empty() ? name : domain + '\\' + name;
}

// The shell's process runs as the user who owns the desktop, even when this
// process was elevated with another account's credentials. No shell window,
// no shell: https://learn.microsoft.com/en-us/windows/win32/api/winuser/nf-winuser-getshellwindow
SidBytes ShellUserSid() {
  HWND shell = ::GetShellWindow();
  if (shell == nullptr) return {};
  DWORD processId = 0;
  ::GetWindowThreadProcessId(shell, &processId);
  if (processId == 0) return {};
  // Windows XP does not know PROCESS_QUERY_LIMITED_INFORMATION:
  // https://learn.microsoft.com/en-us/windows/win32/procthread/process-security-and-access-rights
  Handle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (process.get() == nullptr) {
    Handle older(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    return older.get() != nullptr ? TokenUserSid(older.get()) : SidBytes{};
  }
  return TokenUserSid(process.get());
}

// The user logged on to this process's session. WTS_CURRENT_SESSION rather
// than the console session: under Remote Desktop the console belongs to
// someone else, or nobody.
// https://learn.microsoft.com/en-us/windows/win32/api/wtsapi32/nf-wtsapi32-wtsquerysessioninformationa
SidBytes SessionUserSid() {
  static HMODULE wtsapi = SystemModule(L"wtsapi32.dll");
  auto query = ORIEL_SYSTEM_FUNCTION(wtsapi, WTSQuerySessionInformationA);
  auto release = ORIEL_SYSTEM_FUNCTION(wtsapi, WTSFreeMemory);
  if (query == nullptr || release == nullptr) return {};
  auto text = [&](WTS_INFO_CLASS what) {
    char* buffer = nullptr;
    DWORD bytes = 0;
    std::string value;
    if (query(WTS_CURRENT_SERVER_HANDLE, WTS_CURRENT_SESSION, what, &buffer, &bytes) && buffer != nullptr) {
      value.assign(buffer, strnlen(buffer, bytes));
    }
    if (buffer != nullptr) release(buffer);
    return value;
  };
  const std::string user = text(WTSUserName);
  if (user.empty()) return {};  // nobody logged on
  const std::string domain = text(WTSDomainName);
  const std::string account = domain.empty() ? user : domain + '\\' + user;

  DWORD sidSize = 0;
  DWORD domainLength = 0;
  SID_NAME_USE use;
  ::LookupAccountNameA(nullptr, account.c_str(), nullptr, &sidSize, nullptr, &domainLength, &use);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || sidSize == 0) return {};
  SidBytes sid(sidSize);
  std::string referencedDomain(domainLength + 1, '\0');
  domainLength = static_cast<DWORD>(referencedDomain.size());
  if (!::LookupAccountNameA(nullptr, account.c_str(), sid.data(), &sidSize, referencedDomain.data(),
                            &domainLength, &use))
    return {};
  return ::IsValidSid(sid.data()) ? sid : SidBytes{};
}

std::optional<DesktopUser> AccountOf(SidBytes sid) {
  if (sid.empty()) return std::nullopt;
  DesktopUser account;
  account.sid = SidString(sid);
  if (account.sid.empty()) return std::nullopt;
  account.name = AccountName(sid);
  SidBytes own = TokenUserSid(::GetCurrentProcess());
  account.isProcessUser = !own.empty() && ::EqualSid(own.data(), sid.data());
  return account;
}

}  // namespace

std::optional<DesktopUser> ShellAccount() { return AccountOf(ShellUserSid()); }

std::optional<DesktopUser> SessionAccount() { return AccountOf(SessionUserSid()); }

}  // namespace oriel::win32
