// Files and folders by name: delete, copy, move, create and remove folders.
#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/files_internal.h"
#include "core/path_records.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace velm::platform {
namespace fs = std::filesystem;

namespace {

BOOL FailFalse(DWORD error) {
  SetLastError(error);
  return FALSE;
}

BOOL Done(DWORD error) { return error ? FailFalse(error) : TRUE; }

// "C:" or "\\server\share": what Windows calls the volume of a full path.
std::u16string_view VolumeOf(std::u16string_view full) {
  if (full.size() >= 2 && full[1] == u':') return full.substr(0, 2);
  size_t slashes = 0;
  for (size_t i = 0; i < full.size(); ++i)
    if (full[i] == u'\\' && ++slashes == 4) return full.substr(0, i);
  return full;
}

bool IsVolumeRoot(const MappedPath& mapped) { return !mapped.full.empty() && mapped.full.back() == u'\\'; }

// True when `inner` is `outer` or lies below it.
bool IsWithin(std::u16string_view inner, std::u16string_view outer) {
  if (inner.size() < outer.size() || !EqualsNoCase(inner.substr(0, outer.size()), outer)) return false;
  return inner.size() == outer.size() || inner[outer.size()] == u'\\';
}

DWORD StatError(const fs::path& host) {
  return errno == ENOENT ? MissingPathError(host) : errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrnoToError(errno);
}

void SyncFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// Runs `action` on a file that no open may be denying `access` to; folders carry no sharing locks.
template <class Action>
DWORD WithFileShared(const fs::path& host, bool directory, DWORD access, Action action) {
  if (directory) return action();
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return ErrnoToError(errno);
  const DWORD error = WithShareCheck(fd, access, action);
  ::close(fd);
  return error;
}

// ERROR_ACCESS_DENIED while any handle has the file open (a file that a rename would replace).
DWORD RefuseIfOpen(const fs::path& host) {
  const int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return 0;
  const DWORD error = CheckShare(fd, 0, true);
  ::close(fd);
  return error;
}

}  // namespace

}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

BOOL DeleteFileW(LPCWSTR fileName) {
  MappedPath mapped;
  if (!ResolveFilePath(fileName, mapped)) return FALSE;
  struct stat st;
  if (::stat(mapped.host.c_str(), &st) != 0) return FailFalse(StatError(mapped.host));
  if (!S_ISREG(st.st_mode) || IsReadOnlyFile(st) || HasMappedViews(st.st_dev, st.st_ino))
    return FailFalse(ERROR_ACCESS_DENIED);
  const DWORD error = WithFileShared(mapped.host, false, kAccessDelete, [&]() -> DWORD {
    return ::unlink(mapped.host.c_str()) == 0 ? 0 : ErrnoToError(errno);
  });
  if (error == 0) ForgetPathRecords(mapped.host);
  return Done(error);
}

BOOL CopyFileW(LPCWSTR existingFileName, LPCWSTR newFileName, BOOL failIfExists) {
  HANDLE source = CreateFileW(existingFileName, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (source == INVALID_HANDLE_VALUE) return FALSE;
  DWORD attributes = GetFileAttributesW(existingFileName);
  if (attributes == INVALID_FILE_ATTRIBUTES) attributes = FILE_ATTRIBUTE_NORMAL;
  FILETIME written{};
  GetFileTime(source, nullptr, nullptr, &written);
  const DWORD createWith = attributes & ~(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_NORMAL);
  HANDLE target = CreateFileW(newFileName, GENERIC_WRITE, 0, nullptr, failIfExists ? CREATE_NEW : CREATE_ALWAYS,
                              createWith ? createWith : FILE_ATTRIBUTE_NORMAL, nullptr);
  if (target == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    CloseHandle(source);
    return FailFalse(error);
  }
  std::vector<char> buffer(64 * 1024);
  DWORD error = 0;
  for (;;) {
    DWORD got = 0, put = 0;
    if (!ReadFile(source, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      error = GetLastError();
      break;
    }
    if (got == 0) break;
    if (!WriteFile(target, buffer.data(), got, &put, nullptr)) {
      error = GetLastError();
      break;
    }
  }
  if (error == 0) SetFileTime(target, nullptr, nullptr, &written);
  CloseHandle(source);
  CloseHandle(target);
  if (error) {
    // A partial copy is worse than none.
    DeleteFileW(newFileName);
    return FailFalse(error);
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(newFileName, attributes);
  return TRUE;
}

BOOL MoveFileW(LPCWSTR existingFileName, LPCWSTR newFileName) {
  return MoveFileExW(existingFileName, newFileName, MOVEFILE_COPY_ALLOWED);
}

BOOL MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags) {
  constexpr DWORD kKnown = MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH;
  if ((flags & ~kKnown) || !newFileName) return FailFalse(ERROR_INVALID_PARAMETER);
  MappedPath from, to;
  if (!ResolveFilePath(existingFileName, from) || !ResolveFilePath(newFileName, to)) return FALSE;
  struct stat source, target;
  if (::stat(from.host.c_str(), &source) != 0) return FailFalse(StatError(from.host));
  const bool directory = S_ISDIR(source.st_mode);
  const bool targetExists = ::stat(to.host.c_str(), &target) == 0;
  const bool sameFile = targetExists && target.st_dev == source.st_dev && target.st_ino == source.st_ino;

  fs::path newHost = to.host;
  if (sameFile) {
    // The same file under another spelling: only the letter case of its name changes.
    const size_t cut = to.full.find_last_of(u'\\');
    newHost = to.host.parent_path() / Utf16ToUtf8(to.full.substr(cut + 1));
    if (newHost == from.host) return TRUE;
  } else if (targetExists) {
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) return FailFalse(ERROR_ALREADY_EXISTS);
    if (directory || S_ISDIR(target.st_mode) || IsReadOnlyFile(target) || HasMappedViews(target.st_dev, target.st_ino))
      return FailFalse(ERROR_ACCESS_DENIED);
  }
  if (IsVolumeRoot(from)) return FailFalse(ERROR_ACCESS_DENIED);
  const bool otherVolume = !EqualsNoCase(VolumeOf(from.full), VolumeOf(to.full));
  if (otherVolume && (directory || !(flags & MOVEFILE_COPY_ALLOWED))) return FailFalse(ERROR_NOT_SAME_DEVICE);
  if (directory && IsWithin(CurrentDirectory(), from.full)) return FailFalse(ERROR_SHARING_VIOLATION);

  bool copyInstead = false;
  const DWORD error = WithFileShared(from.host, directory, kAccessDelete, [&]() -> DWORD {
    if (targetExists && !sameFile)
      if (const DWORD busy = RefuseIfOpen(to.host)) return busy;
    if (::rename(from.host.c_str(), newHost.c_str()) == 0) return 0;
    if (errno == EXDEV && !directory) {
      copyInstead = true;
      return 0;
    }
    return errno == ENOENT ? ERROR_PATH_NOT_FOUND : ErrnoToError(errno);
  });
  if (error) return FailFalse(error);
  if (copyInstead) {
    // The two paths live on different host file systems: move as Windows moves between volumes.
    if (!CopyFileW(existingFileName, newFileName, !(flags & MOVEFILE_REPLACE_EXISTING))) return FALSE;
    return DeleteFileW(existingFileName);
  }
  MovePathRecords(from.host, newHost);
  if (flags & MOVEFILE_WRITE_THROUGH) {
    SyncFolder(newHost.parent_path());
    if (from.host.parent_path() != newHost.parent_path()) SyncFolder(from.host.parent_path());
  }
  return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR pathName, LPSECURITY_ATTRIBUTES) {
  MappedPath mapped;
  if (!ResolveFilePath(pathName, mapped)) return FALSE;
  if (::mkdir(mapped.host.c_str(), 0777) != 0) {
    if (errno == EEXIST) return FailFalse(ERROR_ALREADY_EXISTS);
    return FailFalse(errno == ENOENT || errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrnoToError(errno));
  }
  ForgetPathRecords(mapped.host);  // whatever a folder of that name once had
  return TRUE;
}

BOOL RemoveDirectoryW(LPCWSTR pathName) {
  MappedPath mapped;
  if (!ResolveFilePath(pathName, mapped)) return FALSE;
  struct stat st;
  if (::stat(mapped.host.c_str(), &st) != 0) return FailFalse(StatError(mapped.host));
  if (!S_ISDIR(st.st_mode)) return FailFalse(ERROR_DIRECTORY);
  if (IsVolumeRoot(mapped) || (AttributesOf(mapped.host, st) & FILE_ATTRIBUTE_READONLY))
    return FailFalse(ERROR_ACCESS_DENIED);
  // The process holds its current directory open, as Windows does.
  if (EqualsNoCase(CurrentDirectory(), mapped.full)) return FailFalse(ERROR_SHARING_VIOLATION);
  if (::rmdir(mapped.host.c_str()) != 0) return FailFalse(errno == EEXIST ? ERROR_DIR_NOT_EMPTY : ErrnoToError(errno));
  ForgetPathRecords(mapped.host);
  return TRUE;
}

}  // extern "C"
