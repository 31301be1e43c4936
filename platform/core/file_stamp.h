// A file's identity and version as one stat shows it, for caches of decoded files: a cache
// keeps what it decoded with the stamp of the file it read and trusts it while a stat shows
// the same stamp. A file rewritten within the file system's timestamp granularity of the read
// could show an old stamp again (a reused inode, the same size and times), so a stamp only
// vouches for the file once its times are safely older than the read ("settled"); until then
// the cache compares the bytes again.
#pragma once

#include <ctime>
#include <filesystem>
#include <optional>

#include <sys/types.h>

namespace velm::platform {

struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};
  bool operator==(const FileStamp& other) const;
};

// The stamp of the file at `file` (one stat), or of an open descriptor; none when it is absent.
std::optional<FileStamp> StampOfFile(const std::filesystem::path& file);
std::optional<FileStamp> StampOfDescriptor(int fd);

// Whether a later rewrite of the file must show a different stamp: its times lie further in the
// past than the file system's timestamps can lag.
bool IsSettled(const FileStamp& stamp);

}  // namespace velm::platform
