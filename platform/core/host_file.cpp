#include "core/host_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/winerror.h"

namespace velm::platform {
namespace fs = std::filesystem;

namespace {

std::atomic<unsigned> g_tempCounter{0};

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

DWORD ErrnoToError(int error) {
  switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES: case EPERM: case EISDIR: case EROFS: case ELOOP: case EBUSY: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case ENOSPC: case EDQUOT: case EFBIG: return ERROR_DISK_FULL;
    case EMFILE: case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    default: return ERROR_GEN_FAILURE;
  }
}

DWORD ReadWholeFile(const fs::path& file, size_t maxBytes, std::string& bytes) {
  bytes.clear();
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOTDIR ? ERROR_FILE_NOT_FOUND : ErrnoToError(errno);
  struct stat st {};
  DWORD result = ERROR_SUCCESS;
  if (::fstat(fd, &st) != 0) {
    result = ErrnoToError(errno);
  } else if (S_ISDIR(st.st_mode)) {
    result = ERROR_FILE_NOT_FOUND;
  } else if (static_cast<uint64_t>(st.st_size) > maxBytes) {
    result = ERROR_NOT_ENOUGH_MEMORY;
  } else {
    // Read to the end rather than trusting st_size, but never past the bound.
    char chunk[16384];
    for (;;) {
      const ssize_t n = ::read(fd, chunk, sizeof chunk);
      if (n < 0) {
        if (errno == EINTR) continue;
        result = ERROR_READ_FAULT;
        break;
      }
      if (n == 0) break;
      if (bytes.size() + static_cast<size_t>(n) > maxBytes) {
        result = ERROR_NOT_ENOUGH_MEMORY;
        break;
      }
      bytes.append(chunk, static_cast<size_t>(n));
    }
  }
  ::close(fd);
  if (result != ERROR_SUCCESS) bytes.clear();
  return result;
}

namespace {

enum class Flush { kToDisk, kNo };

// A temporary name of its own in `folder`, short, so that a file name near the length limit
// still gets one.
fs::path TempNameIn(const fs::path& folder) {
  return folder / (".velm-tmp-" + std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter.fetch_add(1)));
}

fs::path FolderOf(const fs::path& file) { return file.has_parent_path() ? file.parent_path() : fs::path("."); }

// Replaces `file` with what `fill` writes to a temporary file beside it (flushed to disk unless
// told otherwise, then renamed).
template <class Fill>
DWORD ReplaceThroughTemp(const fs::path& file, Fill fill, Flush flush = Flush::kToDisk) {
  const fs::path folder = FolderOf(file);  // a bare name: here
  std::error_code ec;
  if (!fs::is_directory(folder, ec)) return ERROR_PATH_NOT_FOUND;
  const fs::path temp = TempNameIn(folder);
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return ErrnoToError(errno);
  DWORD result = fill(fd);
  if (result == ERROR_SUCCESS && flush == Flush::kToDisk && ::fdatasync(fd) != 0) result = ERROR_WRITE_FAULT;
  if (::close(fd) != 0 && result == ERROR_SUCCESS) result = ERROR_WRITE_FAULT;
  if (result == ERROR_SUCCESS && ::rename(temp.c_str(), file.c_str()) != 0) result = ErrnoToError(errno);
  if (result != ERROR_SUCCESS) ::unlink(temp.c_str());
  return result;
}

DWORD WriteError() { return errno == ENOSPC ? ERROR_DISK_FULL : ERROR_WRITE_FAULT; }

}  // namespace

DWORD ReplaceWholeFile(const fs::path& file, const std::string& bytes) {
  return ReplaceThroughTemp(file, [&](int fd) {
    return WriteAll(fd, bytes.data(), bytes.size()) ? ERROR_SUCCESS : WriteError();
  });
}

DWORD ReplaceFileWithCopy(const fs::path& file, const fs::path& source) {
  // The source's bytes under a second name, when both lie on one file system.
  std::error_code ec;
  if (fs::is_directory(FolderOf(file), ec)) {
    const fs::path temp = TempNameIn(FolderOf(file));
    if (::link(source.c_str(), temp.c_str()) == 0) {
      if (::rename(temp.c_str(), file.c_str()) == 0) return ERROR_SUCCESS;
      const DWORD error = ErrnoToError(errno);
      ::unlink(temp.c_str());
      return error;
    }
  }
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return ErrnoToError(errno);
  const DWORD result = ReplaceThroughTemp(
      file,
      [&](int fd) {
        char chunk[1 << 16];
        for (;;) {
          const ssize_t n = ::read(in, chunk, sizeof chunk);
          if (n < 0 && errno == EINTR) continue;
          if (n < 0) return ERROR_READ_FAULT;
          if (n == 0) return ERROR_SUCCESS;
          if (!WriteAll(fd, chunk, static_cast<size_t>(n))) return WriteError();
        }
      },
      Flush::kNo);
  ::close(in);
  return result;
}

FileLock::FileLock(const fs::path& lockFile) {
  std::error_code ec;
  fs::create_directories(lockFile.parent_path(), ec);
  fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd_ < 0) {
    error_ = ErrnoToError(errno);
    return;
  }
  while (::flock(fd_, LOCK_EX) != 0) {
    if (errno != EINTR) {
      error_ = ERROR_LOCK_VIOLATION;
      return;
    }
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing drops the lock
}

}  // namespace velm::platform
