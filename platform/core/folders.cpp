// Paths and the machine's folders: full paths, the current directory, temporary files, the
// system and Windows folders, the user's profile and known folders.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <ctime>

#include <sys/stat.h>
#include <unistd.h>

#include "core/files_internal.h"
#include "core/machine_root.h"
#include "core/memory.h"
#include "core/security.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace velm::platform {

namespace {

constexpr HRESULT kFolderNotFound = static_cast<HRESULT>(0x80070000u | ERROR_FILE_NOT_FOUND);

std::u16string ProfileFolder() { return u"C:\\Users\\" + MachineUser(); }

bool HasWildcard(std::u16string_view text) { return text.find_first_of(u"*?") != std::u16string_view::npos; }

bool EndsWithSeparator(std::u16string_view text) {
  return !text.empty() && (text.back() == u'\\' || text.back() == u'/');
}

// The full form of `path`: mapped, with a last component that holds wildcards kept as written
// (it names a search, not a file) and a trailing separator kept.
bool FullPathOf(LPCWSTR path, std::u16string& full) {
  MappedPath mapped;
  const std::u16string_view text(path);
  const size_t cut = text.find_last_of(u"\\/");
  const std::u16string_view last = cut == std::u16string_view::npos ? text : text.substr(cut + 1);
  if (HasWildcard(last)) {
    std::u16string name;
    if (!ResolvePattern(path, mapped, name)) return false;
    full = mapped.full;
    if (full.back() != u'\\') full += u'\\';
    full += name;
    return true;
  }
  if (!ResolveFilePath(path, mapped)) return false;
  full = mapped.full;
  if (EndsWithSeparator(text) && full.back() != u'\\') full += u'\\';
  return true;
}

// Checks that `path` names something that exists (for the calls that only confirm a path).
bool Exists(LPCWSTR path) {
  MappedPath mapped;
  if (!ResolveFilePath(path, mapped)) return false;
  struct stat st;
  if (::stat(mapped.host.c_str(), &st) == 0) return true;
  SetLastError(errno == ENOENT ? MissingPathError(mapped.host) : ERROR_PATH_NOT_FOUND);
  return false;
}

bool SameGuid(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

struct KnownFolder {
  const KNOWNFOLDERID* id;
  bool inProfile;       // below the user's profile folder
  const char16_t* path;  // the rest of the path, or the whole path
};

constexpr KnownFolder kKnownFolders[] = {
    {&FOLDERID_LocalAppDataLow, true, u"\\AppData\\LocalLow"},
    {&FOLDERID_LocalAppData, true, u"\\AppData\\Local"},
    {&FOLDERID_RoamingAppData, true, u"\\AppData\\Roaming"},
    {&FOLDERID_Profile, true, u""},
    {&FOLDERID_ProgramData, false, u"C:\\ProgramData"},
    {&FOLDERID_Windows, false, u"C:\\Windows"},
    {&FOLDERID_System, false, u"C:\\Windows\\system32"},
    {&FOLDERID_ProgramFiles, false, u"C:\\Program Files"},
};

// Creates every missing folder along a full path.
bool CreateFolders(const std::u16string& full) {
  for (size_t at = full.find(u'\\', 3); ; at = full.find(u'\\', at + 1)) {
    const std::u16string part = full.substr(0, at);
    if (!CreateDirectoryW(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
    if (at == std::u16string::npos) return true;
  }
}

std::atomic<uint32_t> g_nextTempNumber{0};

}  // namespace

DWORD CopyPathResult(std::u16string_view text, LPWSTR buffer, DWORD bufferLength) {
  if (!buffer || bufferLength <= text.size()) return static_cast<DWORD>(text.size() + 1);
  std::copy(text.begin(), text.end(), buffer);
  buffer[text.size()] = u'\0';
  return static_cast<DWORD>(text.size());
}

std::u16string MachineUser() {
  const std::u16string user = Utf8ToUtf16(MachineSetting("user"));
  return user.empty() ? u"user" : user;
}

}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

DWORD GetFullPathNameW(LPCWSTR fileName, DWORD bufferLength, LPWSTR buffer, LPWSTR* filePart) {
  std::u16string full;
  if (!fileName || !FullPathOf(fileName, full)) return 0;
  const DWORD result = CopyPathResult(full, buffer, bufferLength);
  if (filePart && result == full.size()) *filePart = full.back() == u'\\' ? nullptr : buffer + full.find_last_of(u'\\') + 1;
  return result;
}

DWORD GetCurrentDirectoryW(DWORD bufferLength, LPWSTR buffer) {
  return CopyPathResult(CurrentDirectory(), buffer, bufferLength);
}

BOOL SetCurrentDirectoryW(LPCWSTR pathName) {
  MappedPath mapped;
  if (!ResolveFilePath(pathName, mapped)) return FALSE;
  struct stat st;
  if (::stat(mapped.host.c_str(), &st) != 0) {
    SetLastError(errno == ENOENT ? MissingPathError(mapped.host) : ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  if (!S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_DIRECTORY);
    return FALSE;
  }
  SetCurrentDirectoryPath(mapped.full);
  return TRUE;
}

DWORD GetLongPathNameW(LPCWSTR shortPath, LPWSTR longPath, DWORD bufferLength) {
  if (!shortPath) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!Exists(shortPath)) return 0;
  return CopyPathResult(shortPath, longPath, bufferLength);
}

DWORD GetShortPathNameW(LPCWSTR longPath, LPWSTR shortPath, DWORD bufferLength) {
  return GetLongPathNameW(longPath, shortPath, bufferLength);
}

DWORD GetTempPathW(DWORD bufferLength, LPWSTR buffer) {
  // As Windows does: TMP, then TEMP, then the profile folder.
  std::u16string path;
  for (const char16_t* name : {u"TMP", u"TEMP", u"USERPROFILE"}) {
    const DWORD size = GetEnvironmentVariableW(name, nullptr, 0);
    if (size == 0) continue;
    path.resize(size);
    path.resize(GetEnvironmentVariableW(name, path.data(), size));
    if (!path.empty()) break;
  }
  if (path.empty()) path = u"C:\\Windows";
  if (path.back() != u'\\') path += u'\\';
  return CopyPathResult(path, buffer, bufferLength);
}

UINT GetTempFileNameW(LPCWSTR pathName, LPCWSTR prefixString, UINT unique, LPWSTR tempFileName) {
  if (!pathName || !tempFileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string base(pathName);
  if (base.size() > MAX_PATH - 14) {
    SetLastError(ERROR_BUFFER_OVERFLOW);
    return 0;
  }
  if (!base.empty() && !EndsWithSeparator(base)) base += u'\\';
  const std::u16string prefix = prefixString ? std::u16string(prefixString).substr(0, 3) : std::u16string();
  auto nameFor = [&](UINT number) {
    static const char16_t kHex[] = u"0123456789ABCDEF";
    std::u16string hex;
    do hex.insert(hex.begin(), kHex[number & 0xF]);
    while ((number >>= 4) != 0);
    return base + prefix + hex + u".TMP";
  };
  auto deliver = [&](UINT number) -> UINT {
    const std::u16string name = nameFor(number);
    if (name.size() >= MAX_PATH) {
      SetLastError(ERROR_BUFFER_OVERFLOW);
      return 0;
    }
    std::copy(name.begin(), name.end(), tempFileName);
    tempFileName[name.size()] = u'\0';
    return number;
  };

  if (unique != 0) return deliver(unique & 0xFFFF);
  const DWORD folder = GetFileAttributesW(base.empty() ? u"." : base.c_str());
  if (folder == INVALID_FILE_ATTRIBUTES || !(folder & FILE_ATTRIBUTE_DIRECTORY)) {
    SetLastError(ERROR_DIRECTORY);
    return 0;
  }
  // Numbers go on from where this process left off, starting somewhere that depends on the
  // process and the time so that two processes seldom walk the same numbers.
  uint32_t expected = 0;
  g_nextTempNumber.compare_exchange_strong(
      expected, static_cast<uint32_t>(::getpid()) * 2654435761u ^ static_cast<uint32_t>(std::time(nullptr)));
  for (int attempt = 0; attempt < 0x10000; ++attempt) {
    const UINT number = g_nextTempNumber.fetch_add(1) & 0xFFFF;
    if (number == 0) continue;
    const std::u16string name = nameFor(number);
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      return deliver(number);
    }
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION) return 0;
  }
  SetLastError(ERROR_FILE_EXISTS);
  return 0;
}

UINT GetSystemDirectoryW(LPWSTR buffer, UINT size) { return CopyPathResult(u"C:\\Windows\\system32", buffer, size); }

UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size) { return CopyPathResult(u"C:\\Windows", buffer, size); }

UINT GetSystemWindowsDirectoryW(LPWSTR buffer, UINT size) { return CopyPathResult(u"C:\\Windows", buffer, size); }

HRESULT SHGetKnownFolderPath(REFKNOWNFOLDERID folderId, DWORD flags, HANDLE, PWSTR* path) {
  if (!path) return E_INVALIDARG;
  *path = nullptr;
  const auto* folder = std::find_if(std::begin(kKnownFolders), std::end(kKnownFolders),
                                    [&](const KnownFolder& known) { return SameGuid(*known.id, folderId); });
  if (folder == std::end(kKnownFolders)) return E_INVALIDARG;
  const std::u16string full = folder->inProfile ? ProfileFolder() + folder->path : std::u16string(folder->path);
  if ((flags & KF_FLAG_CREATE) && !CreateFolders(full)) return static_cast<HRESULT>(0x80070000u | GetLastError());
  if (!(flags & KF_FLAG_DONT_VERIFY)) {
    const DWORD attributes = GetFileAttributesW(full.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return kFolderNotFound;
  }
  auto* block = static_cast<WCHAR*>(CoTaskMemAlloc((full.size() + 1) * sizeof(WCHAR)));
  if (!block) return E_OUTOFMEMORY;
  std::copy(full.begin(), full.end(), block);
  block[full.size()] = u'\0';
  *path = block;
  return S_OK;
}

BOOL GetUserProfileDirectoryW(HANDLE token, LPWSTR profileDir, LPDWORD size) {
  if (!size) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  // The token must be one, open for query, as Windows asks of it.
  TOKEN_TYPE type{};
  DWORD length = 0;
  if (!GetTokenInformation(token, TokenType, &type, sizeof type, &length)) return FALSE;
  const std::u16string folder = ProfileFolder();
  const DWORD needed = static_cast<DWORD>(folder.size() + 1);
  if (!profileDir || *size < needed) {
    *size = needed;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  CopyPathResult(folder, profileDir, *size);
  *size = needed;
  return TRUE;
}

}  // extern "C"
