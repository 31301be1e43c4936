// Sharing between opens of one file, in this process and in others. Each open holds read locks
// (open-file-description locks, so two opens in one process are as distinct as two processes) on
// bytes far beyond any real data: one byte per access kind it holds and one per kind it denies.
// A new open tests the bytes that would conflict and takes its own while holding an exclusive
// flock on the file, so that test and take are one step for every opener.
#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>

#include "core/files_internal.h"
#include "core/winerror.h"

namespace velm::platform {

namespace {

constexpr off_t kLockBase = off_t{1} << 62;
constexpr int kHoldsByte = 0;  // + 0 read, 1 write, 2 delete
constexpr int kDeniesByte = 3;
constexpr int kKinds = 3;

struct flock LockOn(int byte, short type) {
  struct flock lock{};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = kLockBase + byte;
  lock.l_len = 1;
  return lock;
}

// True when another open holds a lock on `byte`.
bool HeldByOthers(int fd, int byte) {
  struct flock lock = LockOn(byte, F_WRLCK);
  if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK;
}

bool Hold(int fd, int byte) {
  struct flock lock = LockOn(byte, F_RDLCK);
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

DWORD Conflict(int fd, DWORD access, DWORD share) {
  for (int kind = 0; kind < kKinds; ++kind) {
    const DWORD bit = DWORD{1} << kind;
    if ((access & bit) && HeldByOthers(fd, kDeniesByte + kind)) return ERROR_SHARING_VIOLATION;
    if (!(share & bit) && HeldByOthers(fd, kHoldsByte + kind)) return ERROR_SHARING_VIOLATION;
  }
  return 0;
}

}  // namespace

void LockShareGuard(int fd) {
  while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
  }
}

void UnlockShareGuard(int fd) { ::flock(fd, LOCK_UN); }

DWORD AcquireShareLocks(int fd, DWORD access, DWORD share) {
  if (access == 0) return 0;
  LockShareGuard(fd);
  DWORD error = Conflict(fd, access, share);
  for (int kind = 0; kind < kKinds && error == 0; ++kind) {
    const DWORD bit = DWORD{1} << kind;
    if (((access & bit) && !Hold(fd, kHoldsByte + kind)) || (!(share & bit) && !Hold(fd, kDeniesByte + kind)))
      error = ErrnoToError(errno);
  }
  UnlockShareGuard(fd);
  return error;
}

void ReleaseShareLocks(int fd) {
  struct flock lock = LockOn(kHoldsByte, F_UNLCK);
  lock.l_len = 2 * kKinds;
  ::fcntl(fd, F_OFD_SETLK, &lock);
}

DWORD CheckShare(int fd, DWORD access, bool anyOpen) {
  if (!anyOpen) return Conflict(fd, access, kAccessRead | kAccessWrite | kAccessDelete);
  for (int byte = 0; byte < kHoldsByte + 2 * kKinds; ++byte)
    if (HeldByOthers(fd, byte)) return ERROR_ACCESS_DENIED;
  return 0;
}

}  // namespace velm::platform
