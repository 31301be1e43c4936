// File attributes: READONLY of a file is the host's write permission; the bits the host has no
// place for are kept in the attribute store (core/path_records.h), an 8-digit hexadecimal value
// per file or folder whose bits differ from the default (ARCHIVE for a file, none for a folder).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

#include "core/files_internal.h"
#include "core/path_records.h"
#include "core/winerror.h"

namespace velm::platform {
namespace fs = std::filesystem;

namespace {

constexpr DWORD kStoredBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

DWORD StoredBits(bool directory) { return directory ? kStoredBits | FILE_ATTRIBUTE_READONLY : kStoredBits; }
DWORD DefaultBits(bool directory) { return directory ? 0 : FILE_ATTRIBUTE_ARCHIVE; }

std::string FormatBits(DWORD bits) {
  char text[16];
  std::snprintf(text, sizeof text, "%08X", static_cast<unsigned>(bits));
  return text;
}

DWORD Compose(const struct stat& st, const std::string* stored) {
  const bool directory = S_ISDIR(st.st_mode);
  DWORD attributes = stored ? static_cast<DWORD>(std::strtoul(stored->c_str(), nullptr, 16)) : DefaultBits(directory);
  if (directory) attributes |= FILE_ATTRIBUTE_DIRECTORY;
  else if (IsReadOnlyFile(st)) attributes |= FILE_ATTRIBUTE_READONLY;
  return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

// Stats a resolved path; false with the Windows error for a missing one.
bool StatPath(const MappedPath& mapped, struct stat& st) {
  if (::stat(mapped.host.c_str(), &st) == 0) return true;
  SetLastError(errno == ENOENT ? MissingPathError(mapped.host) : errno == ENOTDIR ? ERROR_PATH_NOT_FOUND
                                                                                  : ErrnoToError(errno));
  return false;
}

}  // namespace

bool IsReadOnlyFile(const struct stat& st) { return S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) == 0; }

DWORD AttributesOf(const fs::path& host, const struct stat& st) {
  const PathRecords records = ReadPathRecords(kAttributeStore);
  const auto it = records.find(PathRecordKey(host));
  return Compose(st, it == records.end() ? nullptr : &it->second);
}

void StoreAttributes(const fs::path& host, bool directory, DWORD attributes) {
  const std::string key = PathRecordKey(host);
  const DWORD bits = attributes & StoredBits(directory);
  const std::string value = FormatBits(bits);
  EditPathRecords(kAttributeStore, [&](PathRecords& map) {
    const auto it = map.find(key);
    if (bits == DefaultBits(directory)) {
      if (it == map.end()) return false;
      map.erase(it);
      return true;
    }
    if (it != map.end() && it->second == value) return false;
    map[key] = value;
    return true;
  });
}

struct AttributeSnapshot::Impl {
  PathRecords map;
};

AttributeSnapshot::AttributeSnapshot() : impl_(std::make_shared<Impl>(Impl{ReadPathRecords(kAttributeStore)})) {}

DWORD AttributeSnapshot::Of(const fs::path& host, const struct stat& st) const {
  const auto it = impl_->map.find(PathRecordKey(host));
  return Compose(st, it == impl_->map.end() ? nullptr : &it->second);
}

}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

DWORD GetFileAttributesW(LPCWSTR fileName) {
  MappedPath mapped;
  struct stat st;
  if (!ResolveFilePath(fileName, mapped) || !StatPath(mapped, st)) return INVALID_FILE_ATTRIBUTES;
  return AttributesOf(mapped.host, st);
}

BOOL GetFileAttributesExW(LPCWSTR fileName, GET_FILEEX_INFO_LEVELS level, LPVOID info) {
  if (level != GetFileExInfoStandard || !info) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  MappedPath mapped;
  struct stat st;
  if (!ResolveFilePath(fileName, mapped) || !StatPath(mapped, st)) return FALSE;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  data.dwFileAttributes = AttributesOf(mapped.host, st);
  data.ftCreationTime = CreationTimeOf(mapped.host, st);
  data.ftLastAccessTime = ToFileTime(st.st_atim);
  data.ftLastWriteTime = ToFileTime(st.st_mtim);
  if (S_ISREG(st.st_mode)) {
    data.nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    data.nFileSizeLow = static_cast<DWORD>(st.st_size);
  }
  std::memcpy(info, &data, sizeof data);
  return TRUE;
}

BOOL SetFileAttributesW(LPCWSTR fileName, DWORD attributes) {
  MappedPath mapped;
  struct stat st;
  if (!ResolveFilePath(fileName, mapped) || !StatPath(mapped, st)) return FALSE;
  const bool directory = S_ISDIR(st.st_mode);
  if (!directory && !S_ISREG(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  if (!directory) {
    const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (st.st_mode & 07555) : (st.st_mode | S_IWUSR);
    if (mode != st.st_mode && ::chmod(mapped.host.c_str(), mode & 07777) != 0) {
      SetLastError(ErrnoToError(errno));
      return FALSE;
    }
  }
  StoreAttributes(mapped.host, directory, attributes);
  return TRUE;
}

}  // extern "C"
