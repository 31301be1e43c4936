#include "core/path_map.h"

#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "core/file_stamp.h"
#include "core/machine_root.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace velm::platform {
namespace fs = std::filesystem;

namespace {

std::mutex g_cwdMutex;
std::u16string g_cwd = u"C:\\Windows\\System32";

constexpr size_t kMaxPath = 260;
constexpr size_t kMaxLongPath = 32767;

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

bool IsBadNameChar(char16_t c) {
  return c < 32 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' || c == u'*' || c == u':';
}

std::vector<std::u16string> SplitComponents(std::u16string_view text) {
  std::vector<std::u16string> parts;
  std::u16string cur;
  for (char16_t c : text) {
    if (IsSeparator(c)) {
      if (!cur.empty()) parts.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) parts.push_back(cur);
  return parts;
}

// The entries of directories this process searched for a name in another case, each with the
// directory's stamp: an entry is added, removed or renamed only by a change of the directory,
// which a stat of it shows once its stamp has settled (core/file_stamp.h). So a directory that
// keeps its stamp is not listed again, and a name it lacked is known absent with one stat.
class DirectoryListings {
 public:
  // The entry of `dir` whose name is `name` without regard to case, if any; false when `dir`
  // cannot be listed.
  bool Find(const fs::path& dir, const std::u16string& name, fs::path& found) {
    const std::optional<FileStamp> stamp = StampOfFile(dir);
    if (!stamp) return false;
    const std::string key = dir.string();
    std::lock_guard lock(mutex_);
    auto it = listings_.find(key);
    if (it == listings_.end() || !(it->second.stamp == *stamp)) {
      Listing listing{*stamp, {}};
      std::error_code ec;
      for (fs::directory_iterator entry(dir, ec), end; !ec && entry != end; entry.increment(ec))
        listing.names.emplace_back(Utf8ToUtf16(entry->path().filename().string()), entry->path());
      if (ec) return false;
      if (!IsSettled(*stamp)) return Match(listing, name, found);
      if (listings_.size() >= kMaxListings) listings_.clear();
      it = listings_.insert_or_assign(key, std::move(listing)).first;
    }
    return Match(it->second, name, found);
  }

 private:
  struct Listing {
    FileStamp stamp;
    std::vector<std::pair<std::u16string, fs::path>> names;
  };
  static bool Match(const Listing& listing, const std::u16string& name, fs::path& found) {
    for (const auto& [entry, path] : listing.names) {
      if (!EqualsNoCase(entry, name)) continue;
      found = path;
      return true;
    }
    return false;
  }
  static constexpr size_t kMaxListings = 64;
  std::mutex mutex_;
  std::map<std::string, Listing> listings_;
};

// Finds `name` in `dir` without regard to case; the name as given when nothing matches.
// `exists` says whether it was found (a folder that is absent holds nothing).
fs::path LookupComponent(const fs::path& dir, const std::u16string& name, bool& exists) {
  static DirectoryListings listings;
  const fs::path exact = dir / Utf16ToUtf8(name);
  std::error_code ec;
  exists = true;
  if (fs::exists(exact, ec)) return exact;
  fs::path found;
  if (listings.Find(dir, name, found)) return found;
  exists = false;
  return exact;
}

fs::path LookupComponent(const fs::path& dir, const std::u16string& name) {
  bool exists = false;
  return LookupComponent(dir, name, exists);
}

}  // namespace

bool MapPath(std::u16string_view path, MappedPath& out, DWORD& error) {
  const fs::path root = MachineRoot();
  if (root.empty() || path.empty()) {
    error = ERROR_PATH_NOT_FOUND;
    return false;
  }
  bool longForm = false;
  std::u16string uncStorage;
  if (path.size() >= 4 && path.substr(0, 4) == u"\\\\?\\") {
    path.remove_prefix(4);
    longForm = true;
    if (path.size() >= 4 && EqualsNoCase(path.substr(0, 4), u"UNC\\")) {
      // "\\?\UNC\srv\share" is "\\srv\share"
      uncStorage = u"\\\\" + std::u16string(path.substr(4));
      path = uncStorage;
    }
  }
  if (path.size() > (longForm ? kMaxLongPath : kMaxPath - 1)) {
    error = ERROR_FILENAME_EXCED_RANGE;
    return false;
  }

  // Split into a prefix (drive or UNC server+share) and the components below it.
  std::u16string prefix;     // "C:" or "\\srv\share"
  fs::path hostBase;         // <root>/c or <root>/unc/srv/share
  std::u16string rest;
  const bool unc = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
  if (unc) {
    std::vector<std::u16string> parts = SplitComponents(path);
    if (parts.size() < 2) {
      error = ERROR_BAD_PATHNAME;
      return false;
    }
    for (int i = 0; i < 2; ++i)
      for (char16_t c : parts[i])
        if (IsBadNameChar(c)) {
          error = ERROR_INVALID_NAME;
          return false;
        }
    prefix = u"\\\\" + parts[0] + u"\\" + parts[1];
    hostBase = LookupComponent(LookupComponent(root / "unc", parts[0]), parts[1]);
    for (size_t i = 2; i < parts.size(); ++i) rest += u"\\" + parts[i];
  } else {
    std::u16string full;
    if (path.size() >= 2 && path[1] == u':') {
      const char16_t drive = FoldAscii(path[0]);
      if (drive < u'A' || drive > u'Z') {
        error = ERROR_INVALID_NAME;
        return false;
      }
      std::u16string_view after = path.substr(2);
      if (!after.empty() && IsSeparator(after[0])) {
        full = std::u16string(1, drive) + u":" + std::u16string(after);
      } else {
        const std::u16string cwd = CurrentDirectory();
        const bool sameDrive = FoldAscii(cwd[0]) == drive;
        full = (sameDrive ? cwd : std::u16string(1, drive) + u":") + u"\\" + std::u16string(after);
      }
    } else if (IsSeparator(path[0])) {
      full = CurrentDirectory().substr(0, 2) + std::u16string(path);
    } else {
      full = CurrentDirectory() + u"\\" + std::u16string(path);
    }
    prefix = full.substr(0, 2);
    prefix[0] = FoldAscii(prefix[0]);
    std::string letter(1, static_cast<char>(prefix[0] - u'A' + 'a'));
    hostBase = root / letter;
    rest = full.substr(2);
  }

  // Normalise the components below the prefix.
  std::vector<std::u16string> stack;
  for (std::u16string part : SplitComponents(rest)) {
    if (part == u".") continue;
    if (part == u"..") {
      if (!stack.empty()) stack.pop_back();
      continue;
    }
    for (char16_t c : part)
      if (IsBadNameChar(c)) {
        error = ERROR_INVALID_NAME;
        return false;
      }
    while (!part.empty() && (part.back() == u'.' || part.back() == u' ')) part.pop_back();
    if (part.empty()) continue;
    if (part.size() > 255) {
      error = ERROR_FILENAME_EXCED_RANGE;
      return false;
    }
    stack.push_back(part);
  }

  fs::path host = hostBase;
  std::u16string full = prefix;
  bool exists = true;  // below a missing component nothing is there to find
  for (const std::u16string& part : stack) {
    host = exists ? LookupComponent(host, part, exists) : host / Utf16ToUtf8(part);
    full += u"\\" + part;
  }
  if (stack.empty()) full += u"\\";
  out.host = host;
  out.full = full;
  return true;
}

std::u16string HostToWindowsPath(const fs::path& host) {
  const fs::path root = MachineRoot();
  if (root.empty()) return {};
  std::error_code ec;
  const fs::path rel = fs::weakly_canonical(host, ec).lexically_relative(fs::weakly_canonical(root, ec));
  if (rel.empty() || *rel.begin() == "..") return {};
  auto it = rel.begin();
  const std::string top = it->string();
  std::u16string out;
  if (top.size() == 1 && top[0] >= 'a' && top[0] <= 'z') {
    out = std::u16string(1, static_cast<char16_t>(top[0] - 'a' + 'A')) + u":";
  } else if (top == "unc") {
    out = u"\\";
  } else {
    return {};
  }
  ++it;
  if (it == rel.end()) return out + u"\\";
  for (; it != rel.end(); ++it) out += u"\\" + Utf8ToUtf16(it->string());
  return out;
}

std::u16string CurrentDirectory() {
  std::lock_guard lock(g_cwdMutex);
  return g_cwd;
}

void SetCurrentDirectoryPath(std::u16string_view fullWindowsPath) {
  std::lock_guard lock(g_cwdMutex);
  g_cwd = fullWindowsPath;
  while (g_cwd.size() > 3 && g_cwd.back() == u'\\') g_cwd.pop_back();
}

}  // namespace velm::platform
