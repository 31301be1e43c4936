// What the companion stand-ins need beyond the Win32 calls: the switches that set their
// behaviour, whole-file access to their stores, and UTF-8 text for their logs and files.
// Two implementations: over the machine root here (platform/core/companion_host.cpp: the root's
// machine settings and <root>/machine/<area>), and over the Windows machine
// (companions/companion_host_windows.cpp: the string values of
// HKEY_LOCAL_MACHINE\SOFTWARE\Velm\Companions and %ProgramData%\Velm\<area>).
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "win32.h"

namespace velm::companion {

// The text of a behaviour switch ("qnoutlib_start"), or `fallback` when it is not set.
std::string Setting(std::string_view key, std::string_view fallback = {});

// The folder of one store ("jobcr", "bidi"); empty when the machine has none. It need not exist.
std::filesystem::path StoreFolder(std::string_view area);

// Reads all of `file`: ERROR_FILE_NOT_FOUND when it does not exist, ERROR_NOT_ENOUGH_MEMORY when
// it is larger than `maxBytes`, another Win32 code when it cannot be read, else ERROR_SUCCESS.
DWORD ReadWholeFile(const std::filesystem::path& file, size_t maxBytes, std::string& bytes);

// Replaces `file` through a temporary file in its folder and a rename; readers see the old file
// or the new one. The folder must exist.
DWORD ReplaceWholeFile(const std::filesystem::path& file, const std::string& bytes);

// An exclusive lock on a lock file (created with its folder when missing), held until destruction,
// across processes and between instances of one process.
class StoreLock {
 public:
  explicit StoreLock(const std::filesystem::path& lockFile);
  ~StoreLock();
  StoreLock(const StoreLock&) = delete;
  StoreLock& operator=(const StoreLock&) = delete;
  // ERROR_SUCCESS when the lock is held.
  DWORD error() const { return error_; }

 private:
  void* held_ = nullptr;  // what the host keeps for the held lock
  DWORD error_ = ERROR_SUCCESS;
};

// UTF-16 <-> UTF-8; unpaired surrogates and malformed bytes become U+FFFD.
std::string ToUtf8(WStringView text);
WString FromUtf8(std::string_view text);

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
