// Searching folders: FindFirstFileW, FindNextFileW, FindClose. The listing is taken whole when
// the search starts, in the order Windows lists a folder (names compared without regard to case).
#include <algorithm>
#include <cerrno>
#include <mutex>
#include <vector>

#include <sys/stat.h>

#include "core/files_internal.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace velm::platform {
namespace fs = std::filesystem;

namespace {

class FindObject : public KernelObject {
 public:
  std::vector<WIN32_FIND_DATAW> entries;
  size_t next = 0;
  std::mutex mutex;
};

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Names a Windows path could not spell are not listed.
bool IsListableName(std::u16string_view name) {
  if (name.empty() || name.size() >= MAX_PATH) return false;
  return std::none_of(name.begin(), name.end(), [](char16_t c) {
    return c < 32 || c == u'<' || c == u'>' || c == u'"' || c == u'|' || c == u'?' || c == u'*' || c == u':' ||
           c == u'\\' || c == u'/';
  });
}

// '*' any run, '?' one character; letters compared without regard to ASCII case.
bool MatchWild(std::u16string_view name, std::u16string_view pattern) {
  size_t n = 0, p = 0, starP = std::u16string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == u'*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == u'?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
      ++n;
      ++p;
    } else if (starP != std::u16string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == u'*') ++p;
  return p == pattern.size();
}

// A trailing ".*" also matches a name without any extension, so "*.*" matches every name.
bool MatchesPattern(std::u16string_view name, std::u16string_view pattern) {
  if (MatchWild(name, pattern)) return true;
  return pattern.size() >= 2 && pattern.substr(pattern.size() - 2) == u".*" &&
         MatchWild(name, pattern.substr(0, pattern.size() - 2));
}

WIN32_FIND_DATAW Describe(std::u16string_view name, const fs::path& host, const struct stat& st,
                          const AttributeSnapshot& attributes) {
  WIN32_FIND_DATAW data{};
  data.dwFileAttributes = attributes.Of(host, st);
  data.ftCreationTime = CreationTimeOf(host, st);
  data.ftLastAccessTime = ToFileTime(st.st_atim);
  data.ftLastWriteTime = ToFileTime(st.st_mtim);
  if (S_ISREG(st.st_mode)) {
    data.nFileSizeHigh = static_cast<DWORD>(static_cast<uint64_t>(st.st_size) >> 32);
    data.nFileSizeLow = static_cast<DWORD>(st.st_size);
  }
  std::copy(name.begin(), name.end(), data.cFileName);
  return data;
}

}  // namespace

bool ResolvePattern(LPCWSTR pattern, MappedPath& folder, std::u16string& name) {
  if (!pattern) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  const std::u16string_view text(pattern);
  size_t cut = text.size();
  while (cut > 0 && !IsSeparator(text[cut - 1])) --cut;
  std::u16string folderText(text.substr(0, cut));
  name = std::u16string(text.substr(cut));
  if (folderText.empty()) {
    // "C:name" searches the current directory of drive C, "name" the current directory.
    const bool drive = name.size() >= 2 && name[1] == u':';
    folderText = drive ? name.substr(0, 2) : u".";
    if (drive) name.erase(0, 2);
  }
  return ResolveFilePath(folderText.c_str(), folder);
}

}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

HANDLE FindFirstFileW(LPCWSTR pattern, LPWIN32_FIND_DATAW findData) {
  if (!findData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE;
  }
  MappedPath folder;
  std::u16string name;
  if (!ResolvePattern(pattern, folder, name)) return INVALID_HANDLE_VALUE;
  struct stat st;
  if (::stat(folder.host.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (name.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }

  const AttributeSnapshot attributes;
  auto find = std::make_shared<FindObject>();
  // Below a volume's root a folder lists itself and its parent first.
  if (folder.full.back() != u'\\') {
    struct stat parent;
    if (MatchesPattern(u".", name)) find->entries.push_back(Describe(u".", folder.host, st, attributes));
    if (MatchesPattern(u"..", name) && ::stat(folder.host.parent_path().c_str(), &parent) == 0)
      find->entries.push_back(Describe(u"..", folder.host.parent_path(), parent, attributes));
  }
  std::vector<std::pair<std::u16string, fs::path>> found;
  std::error_code ec;
  for (fs::directory_iterator it(folder.host, ec), end; !ec && it != end; it.increment(ec)) {
    const std::u16string entry = Utf8ToUtf16(it->path().filename().string());
    if (!IsListableName(entry) || !MatchesPattern(entry, name)) continue;
    if (it->is_symlink(ec) && !InsideRoot(it->path())) continue;
    found.emplace_back(entry, it->path());
  }
  std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return CompareNoCase(a.first, b.first) < 0; });
  for (const auto& [entry, host] : found) {
    struct stat entrySt;
    if (::stat(host.c_str(), &entrySt) == 0) find->entries.push_back(Describe(entry, host, entrySt, attributes));
  }
  if (find->entries.empty()) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  *findData = find->entries[0];
  find->next = 1;
  SetLastError(ERROR_SUCCESS);
  return RegisterHandle(std::move(find));
}

BOOL FindNextFileW(HANDLE handle, LPWIN32_FIND_DATAW findData) {
  const auto find = LookupHandleAs<FindObject>(handle);
  if (!find) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (!findData) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard lock(find->mutex);
  if (find->next >= find->entries.size()) {
    SetLastError(ERROR_NO_MORE_FILES);
    return FALSE;
  }
  *findData = find->entries[find->next++];
  return TRUE;
}

BOOL FindClose(HANDLE handle) {
  if (!LookupHandleAs<FindObject>(handle) || !ReleaseHandle(handle)) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  return TRUE;
}

}  // extern "C"
