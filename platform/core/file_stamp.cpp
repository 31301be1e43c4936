#include "core/file_stamp.h"

#include <algorithm>

#include <sys/stat.h>

namespace velm::platform {
namespace {

// Well beyond a clock tick of the coarse clock that file times come from.
constexpr long long kSettleNanoseconds = 50'000'000;

bool SameTime(const timespec& a, const timespec& b) { return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec; }

long long Nanoseconds(const timespec& t) { return static_cast<long long>(t.tv_sec) * 1'000'000'000 + t.tv_nsec; }

FileStamp StampOf(const struct stat& st) {
  return FileStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

}  // namespace

bool FileStamp::operator==(const FileStamp& other) const {
  return device == other.device && inode == other.inode && size == other.size &&
         SameTime(modified, other.modified) && SameTime(changed, other.changed);
}

std::optional<FileStamp> StampOfFile(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return std::nullopt;
  return StampOf(st);
}

std::optional<FileStamp> StampOfDescriptor(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return std::nullopt;
  return StampOf(st);
}

bool IsSettled(const FileStamp& stamp) {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  const long long newest = std::max(Nanoseconds(stamp.modified), Nanoseconds(stamp.changed));
  return newest + kSettleNanoseconds < Nanoseconds(now);
}

}  // namespace velm::platform
