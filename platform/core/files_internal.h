// What the file calls share among themselves: the open-file object, path resolution with the
// root check, host errors and times in Windows terms, sharing locks, the attribute side store,
// mapped-view bookkeeping and the fault switch. Not part of the Win32 surface.
#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include <sys/stat.h>
#include <sys/types.h>

#include "core/files.h"
#include "core/handles.h"
#include "core/host_file.h"
#include "core/path_map.h"

namespace velm::platform {

// Access kinds, numbered as the FILE_SHARE_* bits that grant them to others.
constexpr DWORD kAccessRead = FILE_SHARE_READ;
constexpr DWORD kAccessWrite = FILE_SHARE_WRITE;
constexpr DWORD kAccessDelete = FILE_SHARE_DELETE;

class FileObject : public KernelObject {
 public:
  ~FileObject() override;
  // Sharing ends with the handle, as on Windows, even while a mapping still holds the file.
  void OnHandleClosed() override;

  int fd = -1;
  bool directory = false;
  DWORD access = 0;       // kAccess* bits the handle was opened with
  bool writeAttributes = false;  // may set times
  DWORD flags = 0;        // FILE_FLAG_* bits
  std::u16string path;    // normalised Windows path
  std::filesystem::path host;
  dev_t device = 0;
  ino_t inode = 0;
  // Serialises a positioned transfer with the pointer update that follows it.
  std::mutex positionMutex;
};

// The open file behind `handle`; null with ERROR_INVALID_HANDLE for anything else.
std::shared_ptr<FileObject> LookupFile(HANDLE handle);

// Maps a Windows path and checks that the host path stays inside the machine root once host
// symlinks are followed. False with the last error set.
bool ResolveFilePath(LPCWSTR path, MappedPath& out);
// True when `host`, with host symlinks followed, lies inside the machine root.
bool InsideRoot(const std::filesystem::path& host);
// Splits a search pattern at its last separator and resolves the folder part ("*.txt" and "C:x*"
// search the current directory). `name` receives the last component.
bool ResolvePattern(LPCWSTR pattern, MappedPath& folder, std::u16string& name);
// The error for a path that does not exist: ERROR_FILE_NOT_FOUND when its folder exists,
// else ERROR_PATH_NOT_FOUND.
DWORD MissingPathError(const std::filesystem::path& host);

FILETIME ToFileTime(const struct timespec& time);
struct timespec FromFileTime(const FILETIME& time);
// Creation time: the birth time where the host keeps one, else the last-write time.
FILETIME CreationTimeOf(int fd, const struct stat& st);
FILETIME CreationTimeOf(const std::filesystem::path& host, const struct stat& st);

// Sharing between opens (in this process and others): locks held on the file itself.
// Takes the locks for an open with `access` (kAccess*) and `share` (FILE_SHARE_*), or returns
// ERROR_SHARING_VIOLATION. An open without access is not checked, as on Windows.
DWORD AcquireShareLocks(int fd, DWORD access, DWORD share);
void ReleaseShareLocks(int fd);
// What an operation by name (delete, rename) meets: ERROR_SHARING_VIOLATION when another open
// denies `access`; with `anyOpen`, ERROR_ACCESS_DENIED while any open holds the file at all (a
// file that a rename would replace).
DWORD CheckShare(int fd, DWORD access, bool anyOpen);
// The guard that makes a check and what follows it one step against every opener.
void LockShareGuard(int fd);
void UnlockShareGuard(int fd);
// Runs `action` under the guard once CheckShare(fd, access, false) allows it.
template <class Action>
DWORD WithShareCheck(int fd, DWORD access, Action action) {
  LockShareGuard(fd);
  DWORD error = CheckShare(fd, access, false);
  if (error == 0) error = action();
  UnlockShareGuard(fd);
  return error;
}

// Attributes. READONLY of a file is the host's write permission; the rest of what Windows keeps
// lives in the attribute store of core/path_records.h.
bool IsReadOnlyFile(const struct stat& st);
DWORD AttributesOf(const std::filesystem::path& host, const struct stat& st);
void StoreAttributes(const std::filesystem::path& host, bool directory, DWORD attributes);
// For listing a folder: the attributes of `name` in a folder snapshot taken once.
class AttributeSnapshot {
 public:
  AttributeSnapshot();
  DWORD Of(const std::filesystem::path& host, const struct stat& st) const;

 private:
  struct Impl;
  std::shared_ptr<const Impl> impl_;
};

// Views of a file mapped in this process, so the file is not cut under them.
void NoteMappedView(dev_t device, ino_t inode, int delta);
bool HasMappedViews(dev_t device, ino_t inode);

// Fault switch. The error of a spent open fault, else 0.
DWORD TakeOpenFault(std::u16string_view path);
// How many bytes may still move for `path` (UINT64_MAX when no fault applies), with the error of
// the fault that sets the limit; ChargeFaults counts bytes that moved against the faults.
uint64_t FaultBudget(FileFaultKind kind, std::u16string_view path, DWORD& error);
void ChargeFaults(FileFaultKind kind, std::u16string_view path, uint64_t bytes);

// Bounded copy of a result into a caller's buffer with the usual size rule: the length when it
// fits (with the NUL), else the size needed including the NUL and the buffer untouched.
DWORD CopyPathResult(std::u16string_view text, LPWSTR buffer, DWORD bufferLength);

// The machine's user ("user" when the root names none).
std::u16string MachineUser();

}  // namespace velm::platform
