// Whole-file access for the stand-in's own stores and the files it rewrites (INI files,
// registry hives): bounded reads, replacement through a temporary file and a rename, and
// an exclusive lock held across processes while a store is read, changed and replaced.
#pragma once

#include <filesystem>
#include <string>

#include "core/wintypes.h"

namespace velm::platform {

// Reads all of `file` into `bytes`. ERROR_FILE_NOT_FOUND when it does not exist (or is a
// folder), ERROR_NOT_ENOUGH_MEMORY when it is larger than `maxBytes`, another Win32 code when
// it cannot be read; ERROR_SUCCESS otherwise.
DWORD ReadWholeFile(const std::filesystem::path& file, size_t maxBytes, std::string& bytes);

// Replaces `file` with `bytes`: written to a temporary file in the same folder, flushed, then
// renamed over the old one, so readers see the old file or the new one, never a mix.
// The folder must exist (ERROR_PATH_NOT_FOUND otherwise).
DWORD ReplaceWholeFile(const std::filesystem::path& file, const std::string& bytes);
// The same with the bytes of the file `source`, as a copy a user is handed rather than a store:
// the source's bytes linked under the new name when both lie on one file system (so a later
// removal of `source` leaves them), else copied through in pieces (never whole in memory) and
// not flushed to disk. The source must not be changed in place afterwards.
DWORD ReplaceFileWithCopy(const std::filesystem::path& file, const std::filesystem::path& source);

// An exclusive lock on a lock file (created when missing, with its folder), held until
// destruction. Separate instances exclude each other in one process as well as across processes.
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& lockFile);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;
  // ERROR_SUCCESS when the lock is held.
  DWORD error() const { return error_; }

 private:
  int fd_ = -1;
  DWORD error_ = 0;
};

// The Win32 code for a host errno value.
DWORD ErrnoToError(int error);

}  // namespace velm::platform
