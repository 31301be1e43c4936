#include "core/path_map.h"

#include <mutex>
#include <vector>

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

// Finds `name` in `dir` without regard to case; the name as given when nothing matches.
fs::path LookupComponent(const fs::path& dir, const std::u16string& name) {
  const std::string exact = Utf16ToUtf8(name);
  std::error_code ec;
  if (fs::exists(dir / exact, ec)) return dir / exact;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string entry = it->path().filename().string();
    if (EqualsNoCase(Utf8ToUtf16(entry), name)) return it->path();
  }
  return dir / exact;
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
  for (const std::u16string& part : stack) {
    host = LookupComponent(host, part);
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
