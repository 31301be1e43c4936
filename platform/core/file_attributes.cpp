// File attributes: READONLY of a file is the host's write permission; the bits the host has no
// place for are kept in <root>/machine/attributes, one "XXXXXXXX relative/host/path" line per
// file or folder whose bits differ from the default (ARCHIVE for a file, none for a folder).
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/files_internal.h"
#include "core/machine_root.h"
#include "core/winerror.h"

namespace velm::platform {
namespace fs = std::filesystem;

namespace {

using AttributeMap = std::map<std::string, DWORD, std::less<>>;

constexpr DWORD kStoredBits = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                              FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

DWORD StoredBits(bool directory) { return directory ? kStoredBits | FILE_ATTRIBUTE_READONLY : kStoredBits; }
DWORD DefaultBits(bool directory) { return directory ? 0 : FILE_ATTRIBUTE_ARCHIVE; }

fs::path StoreFile() {
  const fs::path machine = MachineStore("");
  return machine.empty() ? fs::path() : machine / "attributes";
}

std::string KeyOf(const fs::path& host) { return host.lexically_relative(MachineRoot()).generic_string(); }

bool IsUnder(const std::string& key, const std::string& base) {
  return key == base || (key.size() > base.size() && key.compare(0, base.size(), base) == 0 && key[base.size()] == '/');
}

AttributeMap ReadStore() {
  AttributeMap map;
  const fs::path file = StoreFile();
  if (file.empty()) return map;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 10 || line[8] != ' ') continue;
    char* end = nullptr;
    const unsigned long bits = std::strtoul(line.substr(0, 8).c_str(), &end, 16);
    map[line.substr(9)] = static_cast<DWORD>(bits);
  }
  return map;
}

// Applies `edit` to the store under a lock, rewriting it (temporary file and rename) only when
// the edit changed something. `edit` returns whether it did.
template <class Edit>
void EditStore(Edit edit) {
  const fs::path file = StoreFile();
  if (file.empty()) return;
  {
    AttributeMap probe = ReadStore();
    if (!edit(probe)) return;  // most edits find nothing to do; spare them the lock
  }
  const int lock = ::open((file.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (lock < 0) return;
  while (::flock(lock, LOCK_EX) != 0 && errno == EINTR) {
  }
  AttributeMap map = ReadStore();
  if (edit(map)) {
    std::ostringstream text;
    char bits[16];
    for (const auto& [key, value] : map) {
      std::snprintf(bits, sizeof bits, "%08X ", static_cast<unsigned>(value));
      text << bits << key << '\n';
    }
    const fs::path temp = file.string() + ".tmp" + std::to_string(::getpid());
    bool ok;
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      out << text.str();
      ok = static_cast<bool>(out.flush());
    }
    if (!ok || ::rename(temp.c_str(), file.c_str()) != 0) ::unlink(temp.c_str());
  }
  ::flock(lock, LOCK_UN);
  ::close(lock);
}

DWORD Compose(const struct stat& st, const DWORD* stored) {
  const bool directory = S_ISDIR(st.st_mode);
  DWORD attributes = stored ? *stored : DefaultBits(directory);
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
  const AttributeMap map = ReadStore();
  const auto it = map.find(KeyOf(host));
  return Compose(st, it == map.end() ? nullptr : &it->second);
}

void StoreAttributes(const fs::path& host, bool directory, DWORD attributes) {
  const std::string key = KeyOf(host);
  const DWORD bits = attributes & StoredBits(directory);
  EditStore([&](AttributeMap& map) {
    const auto it = map.find(key);
    if (bits == DefaultBits(directory)) {
      if (it == map.end()) return false;
      map.erase(it);
      return true;
    }
    if (it != map.end() && it->second == bits) return false;
    map[key] = bits;
    return true;
  });
}

void ForgetAttributes(const fs::path& host) {
  const std::string key = KeyOf(host);
  EditStore([&](AttributeMap& map) { return std::erase_if(map, [&](const auto& e) { return IsUnder(e.first, key); }) > 0; });
}

void MoveAttributes(const fs::path& from, const fs::path& to) {
  const std::string source = KeyOf(from);
  const std::string target = KeyOf(to);
  EditStore([&](AttributeMap& map) {
    AttributeMap moved;
    bool changed = std::erase_if(map, [&](const auto& e) { return IsUnder(e.first, target); }) > 0;
    for (auto it = map.begin(); it != map.end();) {
      if (IsUnder(it->first, source)) {
        moved[target + it->first.substr(source.size())] = it->second;
        it = map.erase(it);
        changed = true;
      } else {
        ++it;
      }
    }
    map.merge(moved);
    return changed;
  });
}

struct AttributeSnapshot::Impl {
  AttributeMap map;
};

AttributeSnapshot::AttributeSnapshot() : impl_(std::make_shared<Impl>(Impl{ReadStore()})) {}

DWORD AttributeSnapshot::Of(const fs::path& host, const struct stat& st) const {
  const auto it = impl_->map.find(KeyOf(host));
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
