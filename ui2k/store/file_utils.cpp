#include "ui2k/store/file_utils.h"

#include <string>
#include <string_view>

#include "settings/persistence/file_primitives.h"
#include "settings/persistence/folders.h"
#include "settings/persistence/paths.h"
#include "settings/persistence/profile_wrappers.h"
#include "settings/services/platform_tests.h"
#include "settings/services/spooler_info.h"

namespace {

// Folders below a tree walked by the security setters stop here, so a loop of links cannot hang.
constexpr int kMaxTreeDepth = 32;
constexpr WCHAR kPerUserRoot[] = WSTR("\\quirn");

bool HasDriveLetter(const WCHAR* name) { return name[0] && name[1] == WCH(':'); }

// `name` as given when it has a drive letter, else `folder` (with or without its final '\') + name.
bool ResolveIn(const WCHAR* folder, const WCHAR* name, WCHAR* out) {
  if (HasDriveLetter(name)) return PathJoin(out, MAX_PATH, {name}) != 0;
  if (!folder || !folder[0]) return false;
  const WStringView base(folder);
  const bool slash = base.back() == WCH('\\');
  return PathJoin(out, MAX_PATH, {base, slash ? WSTR("") : WSTR("\\"), name}) != 0;
}

// The folder part of `path` with its final '\' ("" when it has none).
WStringView FolderOf(const WCHAR* path) {
  return WStringView(path, static_cast<size_t>(PathGetFileName(path) - path));
}

bool IsDots(const WCHAR* name) { return !wcscmp(name, WSTR(".")) || !wcscmp(name, WSTR("..")); }

// Applies `apply` to `path` and, with `recursive` and a folder, to everything below it.
// FALSE when any call failed; the walk goes on past a failure.
template <class Apply>
bool ApplyToTree(const WCHAR* path, bool recursive, Apply apply, int depth = 0) {
  bool ok = apply(path);
  const DWORD attributes = GetFileAttributesW(path);
  if (!recursive || attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return ok;
  if (depth >= kMaxTreeDepth) return false;
  WCHAR pattern[MAX_PATH];
  if (!PathJoin(pattern, MAX_PATH, {path, WSTR("\\*")})) return false;
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return ok;
  do {
    if (IsDots(found.cFileName)) continue;
    WCHAR child[MAX_PATH];
    ok = PathJoin(child, MAX_PATH, {path, WSTR("\\"), found.cFileName}) && ApplyToTree(child, true, apply, depth + 1) && ok;
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return ok;
}

// A descriptor holding `owner` or a DACL with one entry for `sid`, set on every path of a tree.
bool SetTreeSecurity(const WCHAR* path, BOOL recursive, SECURITY_INFORMATION information, PSID sid) {
  SECURITY_DESCRIPTOR descriptor;
  alignas(DWORD) BYTE aclBuffer[sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + SECURITY_MAX_SID_SIZE];
  auto* acl = reinterpret_cast<PACL>(aclBuffer);
  if (!InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION)) return false;
  if (information == OWNER_SECURITY_INFORMATION) {
    if (!SetSecurityDescriptorOwner(&descriptor, sid, FALSE)) return false;
  } else {
    const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) - sizeof(DWORD) + GetLengthSid(sid);
    if (!InitializeAcl(acl, aclSize, ACL_REVISION) ||
        !AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, kFsOpenAccess, sid) ||
        !SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE))
      return false;
  }
  return ApplyToTree(path, recursive != FALSE,
                     [&](const WCHAR* p) { return SetFileSecurityW(p, information, &descriptor) != FALSE; });
}

// Whether two paths name one file: the same text without regard to case.
bool SamePath(const WCHAR* a, const WCHAR* b) { return _wcsicmp(a, b) == 0; }

// Copies `source` beside `target` and renames the copy over it, so that a failure at any step
// leaves the old target whole.
BOOL ReplaceFile(const WCHAR* source, const WCHAR* target) {
  const WStringView folderOf = FolderOf(target);
  WCHAR folder[MAX_PATH] = WSTR(".");
  if (folderOf.size() >= MAX_PATH) {
    SetLastError(ERROR_FILENAME_EXCED_RANGE);
    return FALSE;
  }
  if (!folderOf.empty()) {
    folderOf.copy(folder, folderOf.size());
    folder[folderOf.size()] = 0;
  }
  WCHAR temp[MAX_PATH];
  if (!GetTempFileNameW(folder, WSTR("fs"), 0, temp)) return FALSE;
  const bool done = FsCopyFile(source, temp, FALSE) &&
                    (GetFileAttributesW(target) == INVALID_FILE_ATTRIBUTES ||
                     SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL)) &&
                    MoveFileExW(temp, target, MOVEFILE_REPLACE_EXISTING);
  if (!done) {
    const DWORD error = GetLastError();
    FsDeleteFile(temp);
    SetLastError(error);
  }
  return done ? TRUE : FALSE;
}

}  // namespace

BOOL FsDeleteFile(const WCHAR* path) {
  if (!path || !SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL)) return FALSE;
  return DeleteFileW(path);
}

BOOL FsDeleteMatching(const WCHAR* pattern) {
  if (!pattern) return FALSE;
  const WStringView folder = FolderOf(pattern);
  WIN32_FIND_DATAW found;
  HANDLE find = FindFirstFileW(pattern, &found);
  if (find == INVALID_HANDLE_VALUE) return FALSE;
  BOOL deleted = FALSE;
  do {
    if (IsDots(found.cFileName) || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) continue;
    WCHAR path[MAX_PATH];
    if (PathJoin(path, MAX_PATH, {folder, found.cFileName}) && FsDeleteFile(path)) deleted = TRUE;
  } while (FindNextFileW(find, &found));
  FindClose(find);
  return deleted;
}

BOOL FsCopyFile(const WCHAR* source, const WCHAR* target, BOOL failIfExists) {
  if (!source || !target || !CopyFileW(source, target, failIfExists)) return FALSE;
  return SetFileAttributesW(target, FILE_ATTRIBUTE_NORMAL);
}

BOOL FsClearReadOnly(const WCHAR* path) {
  const DWORD attributes = path ? GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
  if (attributes == INVALID_FILE_ATTRIBUTES) return FALSE;
  if (!(attributes & FILE_ATTRIBUTE_READONLY)) return TRUE;
  const DWORD rest = attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_NORMAL);
  return SetFileAttributesW(path, rest ? rest : FILE_ATTRIBUTE_NORMAL);
}

BOOL FsCompareFileTime(const WCHAR* first, const WCHAR* second, DWORD mode) {
  if (!first || !second) return FALSE;
  FILETIME times[2] = {};
  const WCHAR* paths[2] = {first, second};
  for (int i = 0; i < 2; ++i) {
    HANDLE file = CreateFileW(paths[i], 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return FALSE;
    const BOOL read = GetFileTime(file, nullptr, nullptr, &times[i]);
    CloseHandle(file);
    if (!read) return FALSE;
  }
  const LONG order = CompareFileTime(&times[0], &times[1]);
  return (mode == kFsTimesEqual ? order == 0 : order <= 0) ? TRUE : FALSE;
}

BOOL FsCreateFolder(const WCHAR* path) {
  if (!path) return FALSE;
  if (CreateDirectoryW(path, nullptr)) return TRUE;
  if (GetLastError() != ERROR_ALREADY_EXISTS) return FALSE;
  const DWORD attributes = GetFileAttributesW(path);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return TRUE;
  SetLastError(ERROR_ALREADY_EXISTS);
  return FALSE;
}

BOOL FsInstallFile(DriverContext* context, const WCHAR* source, const WCHAR* target, DWORD mode) {
  if (!source || !target) return FALSE;
  WCHAR systemDir[MAX_PATH];
  WCHAR from[MAX_PATH];
  WCHAR to[MAX_PATH];
  const WCHAR* driverDir = HasDriveLetter(source) || !context ? nullptr : PrnGetDriverDirectory(context);
  if (!ResolveIn(driverDir, source, from)) return FALSE;
  if (!HasDriveLetter(target) && !SysGetSystemDir(systemDir, MAX_PATH)) return FALSE;
  if (!ResolveIn(systemDir, target, to)) return FALSE;
  if (SamePath(from, to)) return TRUE;
  if (!PathExists(from)) return FALSE;
  const bool targetMissing = GetFileAttributesW(to) == INVALID_FILE_ATTRIBUTES;
  if (mode == kFsInstallIfMissing) return targetMissing ? FsCopyFile(from, to, TRUE) : TRUE;
  if (!targetMissing && FsCompareFileTime(from, to, kFsSecondNotOlder)) return TRUE;
  return ReplaceFile(from, to);
}

DWORD FsSplitExtension(const WCHAR* name, DWORD* extensionLength) {
  if (extensionLength) *extensionLength = 0;
  if (!name) return 0;
  DWORD length = 0;
  const WCHAR* extension = PathGetExtension(name, &length);
  if (extensionLength) *extensionLength = length;
  return static_cast<DWORD>(extension ? extension - 1 - name : wcslen(name));
}

BOOL FsHasShortExtension(const WCHAR* name) {
  DWORD length = 0;
  FsSplitExtension(name, &length);
  return length >= 1 && length <= 3;
}

BOOL FsSetOpenSecurity(const WCHAR* path, BOOL recursive) {
  if (!path) return FALSE;
  SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
  PSID everyone = nullptr;
  if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone)) return FALSE;
  const bool done = SetTreeSecurity(path, recursive, DACL_SECURITY_INFORMATION, everyone);
  FreeSid(everyone);
  return done ? TRUE : FALSE;
}

BOOL FsSetAdminOwner(const WCHAR* path, BOOL recursive) {
  if (!path) return FALSE;
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID admins = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &admins))
    return FALSE;
  const bool done = SetTreeSecurity(path, recursive, OWNER_SECURITY_INFORMATION, admins);
  FreeSid(admins);
  return done ? TRUE : FALSE;
}

BOOL FsWriteIniKeepTime(const WCHAR* section, const WCHAR* key, const WCHAR* value, const WCHAR* file) {
  if (!file) return FALSE;
  FILETIME written{};
  HANDLE handle = CreateFileW(file, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
  const bool known = handle != INVALID_HANDLE_VALUE && GetFileTime(handle, nullptr, nullptr, &written);
  if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  if (!IniProfileWriteString(section, key, value, file)) return FALSE;
  if (!known) return TRUE;  // a file the write created has no earlier time to keep
  handle = CreateFileW(file, FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FALSE;
  const BOOL restored = SetFileTime(handle, nullptr, nullptr, &written);
  CloseHandle(handle);
  return restored;
}

BOOL InstSecurePrinterFolders(DriverContext* context) {
  WCHAR folder[MAX_PATH];
  if (SysIsNt5OrLater()) {
    if (!PathGetSharedDir(context, folder, MAX_PATH)) return FALSE;
  } else {
    WCHAR systemDir[MAX_PATH];
    if (!SysGetSystemDir(systemDir, MAX_PATH) || !PathJoin(folder, MAX_PATH, {systemDir, kPerUserRoot})) return FALSE;
  }
  return FsSetOpenSecurity(folder, TRUE);
}

BOOL FsCreateSharedFolder() {
  WCHAR folder[MAX_PATH];
  if (!PathReadSharedDir(folder, MAX_PATH) || !FsCreateFolder(folder)) return FALSE;
  const DWORD attributes = GetFileAttributesW(folder);
  if (attributes == INVALID_FILE_ATTRIBUTES || !SetFileAttributesW(folder, attributes | FILE_ATTRIBUTE_HIDDEN))
    return FALSE;
  return FsSetAdminOwner(folder, FALSE) && FsSetOpenSecurity(folder, FALSE);
}

BOOL FsFileExists(const WCHAR* path) { return PathExists(path); }
