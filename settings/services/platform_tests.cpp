#include "settings/services/platform_tests.h"

#include <cstring>

#include "settings/context/memory.h"
#include "settings/context/process_state.h"
#include "settings/persistence/paths.h"
#include "settings/services/spooler_info.h"

namespace {

constexpr const WCHAR* kTerminalServerLibrary = WSTR("qntsetst.dll");
constexpr const char* kTerminalServerExport = "_IsTSE_WMICOM_VELM_Printer_Driver";
using TerminalServerProc = DWORD (*)();

bool ReadVersion(OSVERSIONINFOW& version) {
  std::memset(&version, 0, sizeof version);
  version.dwOSVersionInfoSize = sizeof version;
  return GetVersionExW(&version);
}

bool AskTestLibrary(HANDLE printer) {
  WCHAR directory[MAX_PATH];
  WCHAR path[MAX_PATH];
  if (!PrnGetDriverDirectoryTo(printer, directory)) return false;
  if (!PathJoin(path, MAX_PATH, {directory, kTerminalServerLibrary})) return false;
  HMODULE library = LoadLibraryW(path);
  if (!library) return false;
  bool yes = false;
  if (FARPROC proc = GetProcAddress(library, kTerminalServerExport))
    yes = reinterpret_cast<TerminalServerProc>(reinterpret_cast<void (*)()>(proc))() == 1;
  FreeLibrary(library);
  return yes;
}

bool AskSystem() {
  OSVERSIONINFOEXW wanted;
  std::memset(&wanted, 0, sizeof wanted);
  wanted.dwOSVersionInfoSize = sizeof wanted;
  wanted.wSuiteMask = VER_SUITE_TERMINAL;
  const ULONGLONG condition = VerSetConditionMask(0, VER_SUITENAME, VER_AND);
  return VerifyVersionInfoW(&wanted, VER_SUITENAME, condition);
}

// Runs the access check with `token` against a descriptor that allows access 3 to the
// administrators group only.
bool TokenPassesAdministratorCheck(HANDLE token) {
  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                0, 0, &administrators))
    return false;
  const DWORD aclSize = GetLengthSid(administrators) + 16;  // ACL header + one allow ACE
  auto* acl = static_cast<PACL>(SysAlloc(aclSize));
  auto* descriptor = static_cast<PSECURITY_DESCRIPTOR>(SysAlloc(SECURITY_DESCRIPTOR_MIN_LENGTH));
  BOOL granted = FALSE;
  if (acl && descriptor && InitializeAcl(acl, aclSize, ACL_REVISION) &&
      AddAccessAllowedAce(acl, ACL_REVISION, 3, administrators) &&
      InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION) &&
      SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE) &&
      SetSecurityDescriptorOwner(descriptor, administrators, FALSE) &&
      SetSecurityDescriptorGroup(descriptor, administrators, FALSE)) {
    GENERIC_MAPPING mapping{1, 2, 0, 3};
    PRIVILEGE_SET privileges;
    DWORD privilegesLength = sizeof privileges;
    DWORD grantedAccess = 0;
    if (!AccessCheck(descriptor, token, 1, &mapping, &privileges, &privilegesLength, &grantedAccess, &granted))
      granted = FALSE;
  }
  SysFree(descriptor);
  SysFree(acl);
  FreeSid(administrators);
  return granted;
}

}  // namespace

BOOL SysIsNt5OrLater() {
  OSVERSIONINFOW v;
  return ReadVersion(v) && v.dwMajorVersion > 4;
}

BOOL SysIsAfterXp() {
  OSVERSIONINFOW v;
  if (!ReadVersion(v) || v.dwMajorVersion <= 4) return FALSE;
  return !(v.dwMajorVersion == 5 && (v.dwMinorVersion == 0 || v.dwMinorVersion == 1));
}

BOOL SysIsNt6OrLater() {
  OSVERSIONINFOW v;
  return ReadVersion(v) && v.dwMajorVersion > 5;
}

BOOL SysIsWin9x() {
  OSVERSIONINFOW v;
  return ReadVersion(v) && v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS;
}

BOOL SysIsWin9xMinor() {
  OSVERSIONINFOW v;
  return ReadVersion(v) && v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && v.dwMinorVersion != 0;
}

BOOL SysIsTerminalServer(HANDLE printer) {
  // Version 5.2 goes to the library: "after XP" is SysIsAfterXp as it stands.
  if (printer && SysIsAfterXp()) return AskTestLibrary(printer);
  return AskSystem();
}

BOOL SysIsTerminalServerCached(HANDLE printer) {
  std::atomic<DWORD>& kept = SysProcessState().terminalServer;
  DWORD answer = kept;
  if (answer == kAnswerUnknown) {
    DWORD fresh = SysIsTerminalServer(printer) ? kAnswerYes : kAnswerNo;
    // Two threads may ask at once; the first answer stored is the one every caller gets.
    answer = kept.compare_exchange_strong(answer, fresh) ? fresh : answer;
  }
  return answer == kAnswerYes;
}

void SysResetTerminalServerCache() { SysProcessState().terminalServer = kAnswerUnknown; }

BOOL SysIsAdministrator() {
  if (!ImpersonateSelf(SecurityImpersonation)) return FALSE;
  HANDLE token = nullptr;
  bool opened = OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token);
  if (!opened && GetLastError() == ERROR_NO_TOKEN) opened = OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  const bool administrator = opened && TokenPassesAdministratorCheck(token);
  if (opened) CloseHandle(token);
  RevertToSelf();
  return administrator;
}
