// Handles to open files: CreateFileW and the calls that take its handle.
#include <algorithm>
#include <cerrno>
#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/files_internal.h"
#include "core/path_records.h"

#include "core/clock.h"
#include "core/machine_root.h"
#include "core/winerror.h"

namespace velm::platform {
namespace fs = std::filesystem;

namespace {


// The kAccess* kinds that a desired-access mask asks for.
DWORD AccessKinds(DWORD desired) {
  DWORD kinds = 0;
  if (desired & (GENERIC_READ | GENERIC_EXECUTE | GENERIC_ALL | FILE_READ_DATA)) kinds |= kAccessRead;
  if (desired & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) kinds |= kAccessWrite;
  if (desired & (DELETE | GENERIC_ALL)) kinds |= kAccessDelete;
  return kinds;
}

HANDLE Fail(DWORD error) {
  SetLastError(error);
  return INVALID_HANDLE_VALUE;
}

BOOL FailFalse(DWORD error) {
  SetLastError(error);
  return FALSE;
}

int OpenRetrying(const fs::path& host, int flags, mode_t mode) {
  int fd;
  do fd = ::open(host.c_str(), flags | O_CLOEXEC, mode);
  while (fd < 0 && errno == EINTR);
  return fd;
}

HANDLE RegisterFile(int fd, const struct stat& st, const MappedPath& mapped, DWORD access, DWORD desired,
                    DWORD flags, bool directory) {
  auto file = std::make_shared<FileObject>();
  file->fd = fd;
  file->directory = directory;
  file->access = access;
  file->writeAttributes = (access & kAccessWrite) || (desired & (FILE_WRITE_ATTRIBUTES | GENERIC_WRITE | GENERIC_ALL));
  file->flags = flags;
  file->path = mapped.full;
  file->host = mapped.host;
  file->device = st.st_dev;
  file->inode = st.st_ino;
  return RegisterHandle(std::move(file));
}

// Moves the pointer of `file` to base + distance; false with the last error set.
bool Seek(FileObject& file, int64_t distance, DWORD method, bool fit32, int64_t& position) {
  if (file.directory) return FailFalse(ERROR_INVALID_FUNCTION);
  std::lock_guard lock(file.positionMutex);
  int64_t base = 0;
  if (method == FILE_CURRENT) {
    base = ::lseek(file.fd, 0, SEEK_CUR);
  } else if (method == FILE_END) {
    struct stat st;
    base = ::fstat(file.fd, &st) == 0 ? st.st_size : -1;
  } else if (method != FILE_BEGIN) {
    return FailFalse(ERROR_INVALID_PARAMETER);
  }
  if (base < 0) return FailFalse(ErrnoToError(errno));
  int64_t target;
  if (__builtin_add_overflow(base, distance, &target)) return FailFalse(ERROR_INVALID_PARAMETER);
  if (target < 0) return FailFalse(ERROR_NEGATIVE_SEEK);
  if (fit32 && target > 0xFFFFFFFFLL) return FailFalse(ERROR_INVALID_PARAMETER);
  if (::lseek(file.fd, target, SEEK_SET) < 0) return FailFalse(ErrnoToError(errno));
  position = target;
  return true;
}

// Moves up to `bytes` at the pointer or at the OVERLAPPED offset; returns the bytes moved and
// leaves a host errno in `error` (0 when the transfer ended at the end of the file or completed).
template <class Transfer>
uint64_t Move(FileObject& file, uint64_t bytes, LPOVERLAPPED overlapped, int& error, Transfer transfer) {
  std::lock_guard lock(file.positionMutex);
  int64_t offset = -1;
  if (overlapped)
    offset = static_cast<int64_t>((static_cast<uint64_t>(overlapped->u.s.OffsetHigh) << 32) | overlapped->u.s.Offset);
  uint64_t done = 0;
  error = 0;
  while (done < bytes) {
    const size_t chunk = static_cast<size_t>(std::min<uint64_t>(bytes - done, 1u << 30));
    const ssize_t n = transfer(done, chunk, offset < 0 ? -1 : offset + static_cast<int64_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      error = errno;
      break;
    }
    if (n == 0) break;
    done += static_cast<uint64_t>(n);
  }
  if (offset >= 0) ::lseek(file.fd, offset + static_cast<int64_t>(done), SEEK_SET);
  return done;
}

}  // namespace

FileObject::~FileObject() {
  if (fd < 0) return;
  if ((flags & FILE_FLAG_WRITE_THROUGH) && (access & kAccessWrite)) ::fsync(fd);
  if (flags & FILE_FLAG_DELETE_ON_CLOSE) {
    // Only the file this handle opened: it may have been renamed or replaced since.
    struct stat st;
    if (::stat(host.c_str(), &st) == 0 && st.st_dev == device && st.st_ino == inode && ::unlink(host.c_str()) == 0)
      ForgetPathRecords(host);
  }
  ::close(fd);
}

void FileObject::OnHandleClosed() {
  if (!directory) ReleaseShareLocks(fd);
}

std::shared_ptr<FileObject> LookupFile(HANDLE handle) {
  auto file = LookupHandleAs<FileObject>(handle);
  if (!file) SetLastError(ERROR_INVALID_HANDLE);
  return file;
}

bool InsideRoot(const fs::path& host) {
  std::error_code ec;
  const fs::path root = fs::weakly_canonical(MachineRoot(), ec);
  if (ec || root.empty()) return false;
  const fs::path real = fs::weakly_canonical(host, ec);
  if (ec) return false;
  const fs::path relative = real.lexically_relative(root);
  return !relative.empty() && *relative.begin() != "..";
}

bool ResolveFilePath(LPCWSTR path, MappedPath& out) {
  if (!path) return FailFalse(ERROR_PATH_NOT_FOUND);
  DWORD error = 0;
  if (!MapPath(path, out, error)) return FailFalse(error);
  if (!InsideRoot(out.host)) return FailFalse(ERROR_ACCESS_DENIED);
  return true;
}

DWORD MissingPathError(const fs::path& host) {
  struct stat st;
  const bool folder = ::stat(host.parent_path().c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return folder ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

FILETIME ToFileTime(const struct timespec& time) {
  return FileTimeFromUnix(time.tv_sec, static_cast<uint32_t>(time.tv_nsec));
}

struct timespec FromFileTime(const FILETIME& time) {
  uint32_t hundredNs = 0;
  struct timespec out{};
  out.tv_sec = static_cast<time_t>(FileTimeToUnix(time, &hundredNs));
  out.tv_nsec = static_cast<long>(hundredNs) * 100;
  return out;
}

namespace {
FILETIME BirthTime(int dirFd, const char* path, int flags, const struct stat& st) {
  struct statx sx{};
  if (::statx(dirFd, path, flags, STATX_BTIME, &sx) == 0 && (sx.stx_mask & STATX_BTIME)) {
    struct timespec birth{};
    birth.tv_sec = sx.stx_btime.tv_sec;
    birth.tv_nsec = sx.stx_btime.tv_nsec;
    return ToFileTime(birth);
  }
  return ToFileTime(st.st_mtim);
}
}  // namespace

FILETIME CreationTimeOf(int fd, const struct stat& st) { return BirthTime(fd, "", AT_EMPTY_PATH, st); }

FILETIME CreationTimeOf(const fs::path& host, const struct stat& st) {
  return BirthTime(AT_FDCWD, host.c_str(), 0, st);
}

}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE) {
  if ((shareMode & ~(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)) != 0 || disposition < CREATE_NEW ||
      disposition > TRUNCATE_EXISTING)
    return Fail(ERROR_INVALID_PARAMETER);
  // Asynchronous handles would need completion machinery nothing here calls for.
  if (flagsAndAttributes & FILE_FLAG_OVERLAPPED) return Fail(ERROR_NOT_SUPPORTED);
  const DWORD flags = flagsAndAttributes & 0xFFF00000u;
  const DWORD attributes = flagsAndAttributes & 0x000FFFFFu;
  DWORD access = AccessKinds(desiredAccess);
  if (flags & FILE_FLAG_DELETE_ON_CLOSE) access |= kAccessDelete;
  if (disposition == TRUNCATE_EXISTING && !(access & kAccessWrite)) return Fail(ERROR_INVALID_PARAMETER);

  MappedPath mapped;
  if (!ResolveFilePath(fileName, mapped)) return INVALID_HANDLE_VALUE;
  if (const DWORD fault = TakeOpenFault(mapped.full)) return Fail(fault);

  // A file created between our look and our create makes us look again.
  for (int attempt = 0; attempt < 8; ++attempt) {
    struct stat st;
    const bool exists = ::stat(mapped.host.c_str(), &st) == 0;
    if (!exists && errno != ENOENT) return Fail(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ErrnoToError(errno));

    if (exists && S_ISDIR(st.st_mode)) {
      if (disposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS);
      if (!(flags & FILE_FLAG_BACKUP_SEMANTICS) || (disposition != OPEN_EXISTING && disposition != OPEN_ALWAYS))
        return Fail(ERROR_ACCESS_DENIED);
      const int fd = OpenRetrying(mapped.host, O_RDONLY | O_DIRECTORY, 0);
      if (fd < 0) return Fail(ErrnoToError(errno));
      HANDLE handle = RegisterFile(fd, st, mapped, 0, desiredAccess, flags & ~FILE_FLAG_DELETE_ON_CLOSE, true);
      SetLastError(disposition == OPEN_ALWAYS ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
      return handle;
    }
    if (exists && !S_ISREG(st.st_mode)) return Fail(ERROR_ACCESS_DENIED);

    const bool truncate = exists && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING);
    if (exists) {
      if (disposition == CREATE_NEW) return Fail(ERROR_FILE_EXISTS);
      if (IsReadOnlyFile(st) && ((access & kAccessWrite) || truncate || (flags & FILE_FLAG_DELETE_ON_CLOSE)))
        return Fail(ERROR_ACCESS_DENIED);
      if (truncate && HasMappedViews(st.st_dev, st.st_ino)) return Fail(ERROR_USER_MAPPED_FILE);
    } else if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
      return Fail(MissingPathError(mapped.host));
    }

    // Always readable: the sharing locks are read locks on the file.
    int oflags = ((access & kAccessWrite) || truncate) ? O_RDWR : O_RDONLY;
    if (!exists) oflags |= O_RDWR | O_CREAT | O_EXCL;
    const mode_t mode = (attributes & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    const int fd = OpenRetrying(mapped.host, oflags, mode);
    if (fd < 0) {
      if ((errno == EEXIST && !exists) || (errno == ENOENT && exists)) continue;
      return Fail(errno == ENOENT ? MissingPathError(mapped.host) : ErrnoToError(errno));
    }
    struct stat opened;
    if (::fstat(fd, &opened) != 0 || !S_ISREG(opened.st_mode)) {
      ::close(fd);
      return Fail(ERROR_ACCESS_DENIED);
    }
    if (const DWORD error = AcquireShareLocks(fd, access, shareMode)) {
      ::close(fd);
      return Fail(error);
    }
    if (truncate && ::ftruncate(fd, 0) != 0) {
      const int error = errno;
      ::close(fd);
      return Fail(ErrnoToError(error));
    }
    // A new file starts with the attributes asked for and ARCHIVE, and forgets any stale entry.
    if (!exists) StoreAttributes(mapped.host, false, attributes | FILE_ATTRIBUTE_ARCHIVE);
    HANDLE handle = RegisterFile(fd, opened, mapped, access, desiredAccess, flags, false);
    const bool reportExisting = exists && (disposition == OPEN_ALWAYS || disposition == CREATE_ALWAYS);
    SetLastError(reportExisting ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
  }
  return Fail(ERROR_ACCESS_DENIED);  // the name keeps changing under us (or is a dangling link)
}

BOOL ReadFile(HANDLE handle, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED overlapped) {
  if (read) *read = 0;
  const auto file = LookupFile(handle);
  if (!file) return FALSE;
  if ((!read && !overlapped) || (!buffer && toRead)) return FailFalse(ERROR_INVALID_PARAMETER);
  if (file->directory) return FailFalse(ERROR_INVALID_FUNCTION);
  if (!(file->access & kAccessRead)) return FailFalse(ERROR_ACCESS_DENIED);

  DWORD faultError = 0;
  const uint64_t budget = FaultBudget(FileFaultKind::kRead, file->path, faultError);
  const uint64_t want = std::min<uint64_t>(toRead, budget);
  int error = 0;
  auto* bytes = static_cast<char*>(buffer);
  const uint64_t done = Move(*file, want, overlapped, error, [&](uint64_t at, size_t n, int64_t offset) {
    return offset < 0 ? ::read(file->fd, bytes + at, n) : ::pread(file->fd, bytes + at, n, offset);
  });
  ChargeFaults(FileFaultKind::kRead, file->path, done);
  if (read) *read = static_cast<DWORD>(done);
  if (error) return FailFalse(error == EIO ? ERROR_READ_FAULT : ErrnoToError(error));
  if (want < toRead && done == want) return FailFalse(faultError);
  return TRUE;
}

BOOL WriteFile(HANDLE handle, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED overlapped) {
  if (written) *written = 0;
  const auto file = LookupFile(handle);
  if (!file) return FALSE;
  if ((!written && !overlapped) || (!buffer && toWrite)) return FailFalse(ERROR_INVALID_PARAMETER);
  if (file->directory) return FailFalse(ERROR_INVALID_FUNCTION);
  if (!(file->access & kAccessWrite)) return FailFalse(ERROR_ACCESS_DENIED);

  DWORD faultError = 0;
  const uint64_t budget = FaultBudget(FileFaultKind::kWrite, file->path, faultError);
  const uint64_t want = std::min<uint64_t>(toWrite, budget);
  int error = 0;
  const auto* bytes = static_cast<const char*>(buffer);
  const uint64_t done = Move(*file, want, overlapped, error, [&](uint64_t at, size_t n, int64_t offset) {
    return offset < 0 ? ::write(file->fd, bytes + at, n) : ::pwrite(file->fd, bytes + at, n, offset);
  });
  ChargeFaults(FileFaultKind::kWrite, file->path, done);
  if (done && (file->flags & FILE_FLAG_WRITE_THROUGH)) ::fdatasync(file->fd);
  if (written) *written = static_cast<DWORD>(done);
  if (error) return FailFalse(error == EIO ? ERROR_WRITE_FAULT : ErrnoToError(error));
  if (done < want) return FailFalse(ERROR_DISK_FULL);
  if (want < toWrite) return FailFalse(faultError);
  return TRUE;
}

DWORD SetFilePointer(HANDLE handle, LONG distance, PLONG distanceHigh, DWORD moveMethod) {
  const auto file = LookupFile(handle);
  if (!file) return INVALID_SET_FILE_POINTER;
  const int64_t move =
      distanceHigh ? static_cast<int64_t>((static_cast<uint64_t>(static_cast<uint32_t>(*distanceHigh)) << 32) |
                                          static_cast<uint32_t>(distance))
                   : static_cast<int64_t>(distance);
  int64_t position = 0;
  if (!Seek(*file, move, moveMethod, distanceHigh == nullptr, position)) return INVALID_SET_FILE_POINTER;
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<uint64_t>(position) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(position);
}

BOOL SetFilePointerEx(HANDLE handle, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD moveMethod) {
  const auto file = LookupFile(handle);
  if (!file) return FALSE;
  int64_t position = 0;
  if (!Seek(*file, distance.QuadPart, moveMethod, false, position)) return FALSE;
  if (newPosition) newPosition->QuadPart = position;
  return TRUE;
}

BOOL SetEndOfFile(HANDLE handle) {
  const auto file = LookupFile(handle);
  if (!file) return FALSE;
  if (file->directory) return FailFalse(ERROR_INVALID_FUNCTION);
  if (!(file->access & kAccessWrite)) return FailFalse(ERROR_ACCESS_DENIED);
  std::lock_guard lock(file->positionMutex);
  const off_t position = ::lseek(file->fd, 0, SEEK_CUR);
  struct stat st;
  if (position < 0 || ::fstat(file->fd, &st) != 0) return FailFalse(ErrnoToError(errno));
  // Cutting bytes out from under a view would fault the process that reads them.
  if (position < st.st_size && HasMappedViews(st.st_dev, st.st_ino)) return FailFalse(ERROR_USER_MAPPED_FILE);
  if (::ftruncate(file->fd, position) != 0) return FailFalse(ErrnoToError(errno));
  return TRUE;
}

DWORD GetFileSize(HANDLE handle, LPDWORD sizeHigh) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(handle, &size)) return INVALID_FILE_SIZE;
  if (sizeHigh) *sizeHigh = static_cast<DWORD>(static_cast<uint64_t>(size.QuadPart) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(size.QuadPart);
}

BOOL GetFileSizeEx(HANDLE handle, PLARGE_INTEGER size) {
  const auto file = LookupFile(handle);
  if (!file) return FALSE;
  if (!size) return FailFalse(ERROR_INVALID_PARAMETER);
  if (file->directory) return FailFalse(ERROR_INVALID_FUNCTION);
  struct stat st;
  if (::fstat(file->fd, &st) != 0) return FailFalse(ErrnoToError(errno));
  size->QuadPart = st.st_size;
  return TRUE;
}

BOOL FlushFileBuffers(HANDLE handle) {
  const auto file = LookupFile(handle);
  if (!file) return FALSE;
  if (!(file->access & kAccessWrite)) return FailFalse(ERROR_ACCESS_DENIED);
  if (::fsync(file->fd) != 0) return FailFalse(ErrnoToError(errno));
  return TRUE;
}

BOOL GetFileTime(HANDLE handle, LPFILETIME creation, LPFILETIME lastAccess, LPFILETIME lastWrite) {
  const auto file = LookupFile(handle);
  if (!file) return FALSE;
  struct stat st;
  if (::fstat(file->fd, &st) != 0) return FailFalse(ErrnoToError(errno));
  if (creation) *creation = CreationTimeOf(file->fd, st);
  if (lastAccess) *lastAccess = ToFileTime(st.st_atim);
  if (lastWrite) *lastWrite = ToFileTime(st.st_mtim);
  return TRUE;
}

BOOL SetFileTime(HANDLE handle, const FILETIME*, const FILETIME* lastAccess, const FILETIME* lastWrite) {
  const auto file = LookupFile(handle);
  if (!file) return FALSE;
  if (!file->writeAttributes) return FailFalse(ERROR_ACCESS_DENIED);
  // Null, zero and all-ones times leave that time as it is.
  auto pick = [](const FILETIME* time) {
    struct timespec out{};
    out.tv_nsec = UTIME_OMIT;
    if (time && !(time->dwLowDateTime == 0 && time->dwHighDateTime == 0) &&
        !(time->dwLowDateTime == 0xFFFFFFFF && time->dwHighDateTime == 0xFFFFFFFF))
      out = FromFileTime(*time);
    return out;
  };
  const struct timespec times[2] = {pick(lastAccess), pick(lastWrite)};
  if (::futimens(file->fd, times) != 0) return FailFalse(ErrnoToError(errno));
  return TRUE;
}

DWORD GetFileType(HANDLE handle) {
  const auto file = LookupFile(handle);
  if (!file) return FILE_TYPE_UNKNOWN;
  SetLastError(ERROR_SUCCESS);
  return FILE_TYPE_DISK;
}

}  // extern "C"
