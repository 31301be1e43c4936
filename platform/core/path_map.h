// Windows paths onto the machine root.
//   "C:\Windows\x.ini"   -> <root>/c/Windows/x.ini
//   "\\server\share\x"   -> <root>/unc/server/share/x
//   "\x", "x", "C:x"     -> against the process's current directory
// Separators may be '\' or '/'; "." and ".." are resolved (".." stops at the drive's root);
// trailing dots and blanks of a component are dropped, as Windows drops them. Existing
// components are found without regard to case; missing ones keep the case given.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "core/wintypes.h"

namespace velm::platform {

struct MappedPath {
  std::filesystem::path host;  // where the file is (or would be) on the host
  std::u16string full;         // the normalised Windows form: "C:\Windows\x.ini"
};

// False with a Win32 error for a path Windows refuses: empty (ERROR_PATH_NOT_FOUND),
// a bad character or stray ':' (ERROR_INVALID_NAME), too long (ERROR_FILENAME_EXCED_RANGE),
// a bad drive (ERROR_INVALID_DRIVE), or no machine root (ERROR_PATH_NOT_FOUND).
bool MapPath(std::u16string_view windowsPath, MappedPath& out, DWORD& error);

// The Windows form of a host path inside the root ("" when it is outside).
std::u16string HostToWindowsPath(const std::filesystem::path& host);

// The process's current directory, "C:\Windows\System32" until changed.
std::u16string CurrentDirectory();
void SetCurrentDirectoryPath(std::u16string_view fullWindowsPath);

}  // namespace velm::platform
