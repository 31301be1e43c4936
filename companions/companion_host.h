// What the companion stand-ins need beyond the Win32 calls: the switches that set their
// behaviour, whole-file access to their stores, and UTF-8 text for their logs and files.
// Two implementations: over the machine root here (platform/core/companion_host.cpp: the root's
// machine settings and <root>/machine/<area>), and over the Windows machine
// (companions/companion_host_windows.cpp: the string values of
// HKEY_LOCAL_MACHINE\SOFTWARE\Velm\Companions and %ProgramData%\Velm\<area>).
//
// Every container the companions fill draws on the counted global-memory allocator, so a test
// that makes allocations fail reaches them; what cannot grow throws std::bad_alloc, which each
// export and callback turns into its failure answer.
#pragma once

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <functional>
#include <map>
#include <string_view>
#include <vector>

#include "settings/context/global_allocator.h"
#include "win32.h"

namespace velm::companion {

using String = CountedString;
using WText = CountedWString;
template <class T>
using Vector = CountedVector<T>;
template <class Key, class Value>
using Map = std::map<Key, Value, std::less<>, GlobalAllocator<std::pair<const Key, Value>>>;

// A path of the host's stores, in a fixed buffer; empty when it could not be formed.
struct StorePath {
  static constexpr size_t kChars = 1024;
  WCHAR text[kChars] = {};
  bool empty() const { return text[0] == 0; }
  // This path with `name` (ASCII) appended after a separator; empty when it does not fit.
  StorePath operator/(std::string_view name) const {
#ifdef _WIN32
    constexpr WCHAR kSeparator = WCH('\\');
#else
    constexpr WCHAR kSeparator = WCH('/');
#endif
    StorePath joined;
    size_t length = 0;
    while (length < kChars && text[length]) ++length;
    if (length == 0 || length + 1 + name.size() >= kChars) return joined;
    std::copy(text, text + length, joined.text);
    joined.text[length] = kSeparator;
    for (size_t i = 0; i < name.size(); ++i) joined.text[length + 1 + i] = static_cast<WCHAR>(name[i]);
    return joined;
  }
};

// The text of a behaviour switch ("qnoutlib_start"), or `fallback` when it is not set.
String Setting(std::string_view key, std::string_view fallback = {});

// The folder of one store ("jobcr", "bidi"); empty when the machine has none. It need not exist.
StorePath StoreFolder(std::string_view area);

// Makes `folder` and the folders above it; ERROR_SUCCESS when it exists afterwards.
DWORD MakeFolder(const StorePath& folder);

// Reads all of `file`: ERROR_FILE_NOT_FOUND when it does not exist, ERROR_NOT_ENOUGH_MEMORY when
// it is larger than `maxBytes` or cannot be held, another Win32 code when it cannot be read, else
// ERROR_SUCCESS.
DWORD ReadWholeFile(const StorePath& file, size_t maxBytes, String& bytes);

// Replaces `file` through a temporary file in its folder and a rename; readers see the old file
// or the new one. The folder must exist.
DWORD ReplaceWholeFile(const StorePath& file, std::string_view bytes);

// Appends `bytes` to `file` (created when missing, with its folder).
DWORD AppendToFile(const StorePath& file, std::string_view bytes);

// An exclusive lock on a lock file (created with its folder when missing), held until destruction,
// across processes and between instances of one process.
class StoreLock {
 public:
  explicit StoreLock(const StorePath& lockFile);
  ~StoreLock();
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  // ERROR_SUCCESS when the lock is held.
  DWORD error() const { return error_; }

 private:
  void* held_ = nullptr;  // what the host keeps for the held lock
  DWORD error_ = ERROR_SUCCESS;
};

// Takes `procName` out of what GetProcAddress finds in the companion's own `module` until it is
// unloaded, for a stand-in of a build without that entry (called from the companion's DllMain).
// ERROR_SUCCESS; ERROR_NOT_SUPPORTED on Windows, whose loader has no such switch.
DWORD WithholdExport(HMODULE module, std::string_view procName);

// UTF-16 <-> UTF-8; unpaired surrogates and malformed bytes become U+FFFD.
String ToUtf8(WStringView text);
WText FromUtf8(std::string_view text);

// A number in decimal.
inline String Decimal(unsigned long long value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return String(digits, end);
}

// Names compare without regard to ASCII case, as the stores' keys do.
inline bool EqualsNoCase(WStringView a, WStringView b) {
  const auto fold = [](WCHAR c) { return c >= WCH('a') && c <= WCH('z') ? static_cast<WCHAR>(c - 32) : c; };
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace velm::companion
