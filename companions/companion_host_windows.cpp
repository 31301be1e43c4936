// The companion stand-ins' host services on Windows: switches are the string values of
// HKEY_LOCAL_MACHINE\SOFTWARE\Velm\Companions, stores are folders of %ProgramData%\Velm.
#include "companions/companion_host.h"

#include <algorithm>

namespace velm::companion {
namespace {

constexpr WCHAR kSwitchesKey[] = WSTR("SOFTWARE\\Velm\\Companions");

// Closes a handle when it goes out of scope.
struct HandleCloser {
  HANDLE handle;
  ~HandleCloser() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
};

DWORD WriteAll(HANDLE file, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return GetLastError();
    done += written;
  }
  return ERROR_SUCCESS;
}

// The folder part of `path` (empty when it has none).
StorePath Parent(const StorePath& path) {
  StorePath parent;
  const WCHAR* end = path.text;
  for (const WCHAR* at = path.text; *at; ++at) {
    if (*at == WCH('\\') || *at == WCH('/')) end = at;
  }
  std::copy(path.text, end, parent.text);
  return parent;
}

}  // namespace

String Setting(std::string_view key, std::string_view fallback) {
  const WText name = FromUtf8(key);
  DWORD size = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSwitchesKey, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
          ERROR_SUCCESS ||
      size < sizeof(WCHAR)) {
    return String(fallback);
  }
  WText value(size / sizeof(WCHAR), 0);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSwitchesKey, name.c_str(), RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
      ERROR_SUCCESS) {
    return String(fallback);
  }
  value.resize(lstrlenW(value.c_str()));
  return ToUtf8(value);
}

StorePath StoreFolder(std::string_view area) {
  StorePath folder;
  const DWORD length = GetEnvironmentVariableW(WSTR("ProgramData"), folder.text, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return StorePath();
  return folder / "Velm" / area;
}

DWORD MakeFolder(const StorePath& folder) {
  if (folder.empty()) return ERROR_PATH_NOT_FOUND;
  const DWORD attributes = GetFileAttributesW(folder.text);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return ERROR_SUCCESS;
  const StorePath parent = Parent(folder);
  if (!parent.empty() && MakeFolder(parent) != ERROR_SUCCESS) return ERROR_PATH_NOT_FOUND;
  return CreateDirectoryW(folder.text, nullptr) || GetLastError() == ERROR_ALREADY_EXISTS ? ERROR_SUCCESS
                                                                                          : GetLastError();
}

DWORD ReadWholeFile(const StorePath& file, size_t maxBytes, String& bytes) {
  HandleCloser opened{CreateFileW(file.text, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (opened.handle == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return error == ERROR_PATH_NOT_FOUND || error == ERROR_ACCESS_DENIED ? ERROR_FILE_NOT_FOUND : error;
  }
  LARGE_INTEGER size;
  if (!GetFileSizeEx(opened.handle, &size)) return GetLastError();
  if (static_cast<unsigned long long>(size.QuadPart) > maxBytes) return ERROR_NOT_ENOUGH_MEMORY;
  bytes.assign(static_cast<size_t>(size.QuadPart), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD read = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    if (!ReadFile(opened.handle, bytes.data() + done, chunk, &read, nullptr)) return GetLastError();
    if (read == 0) break;
    done += read;
  }
  bytes.resize(done);
  return ERROR_SUCCESS;
}

DWORD ReplaceWholeFile(const StorePath& file, std::string_view bytes) {
  const String suffix = ".tmp" + Decimal(GetCurrentProcessId()) + "." + Decimal(GetCurrentThreadId());
  StorePath written = file;
  size_t length = 0;
  while (written.text[length]) ++length;
  if (length + suffix.size() >= StorePath::kChars) return ERROR_FILENAME_EXCED_RANGE;
  for (size_t i = 0; i < suffix.size(); ++i) written.text[length + i] = static_cast<WCHAR>(suffix[i]);
  DWORD error = ERROR_SUCCESS;
  {
    HandleCloser out{CreateFileW(written.text, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (out.handle == INVALID_HANDLE_VALUE) return GetLastError();
    error = WriteAll(out.handle, bytes);
    if (error == ERROR_SUCCESS && !FlushFileBuffers(out.handle)) error = GetLastError();
  }
  if (error == ERROR_SUCCESS &&
      !MoveFileExW(written.text, file.text, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error != ERROR_SUCCESS) DeleteFileW(written.text);
  return error;
}

DWORD AppendToFile(const StorePath& file, std::string_view bytes) {
  MakeFolder(Parent(file));
  HandleCloser out{CreateFileW(file.text, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr)};
  if (out.handle == INVALID_HANDLE_VALUE) return GetLastError();
  return WriteAll(out.handle, bytes);
}

StoreLock::StoreLock(const StorePath& lockFile) {
  MakeFolder(Parent(lockFile));
  HANDLE file = CreateFileW(lockFile.text, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error_ = GetLastError();
    return;
  }
  OVERLAPPED whole = {};
  if (!LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &whole)) {
    error_ = ERROR_LOCK_VIOLATION;
    CloseHandle(file);
    return;
  }
  held_ = file;
}

StoreLock::~StoreLock() {
  if (held_) CloseHandle(held_);  // closing drops the lock
}

// Windows' loader offers no way to take back an export: a build without it is the only way.
DWORD WithholdExport(HMODULE, std::string_view) { return ERROR_NOT_SUPPORTED; }

String ToUtf8(WStringView text) {
  if (text.empty()) return {};
  const int count = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
  String out(bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), count, out.data(), bytes, nullptr, nullptr);
  return out;
}

WText FromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int count = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), count, nullptr, 0);
  WText out(units, 0);
  MultiByteToWideChar(CP_UTF8, 0, text.data(), count, out.data(), units);
  return out;
}

}  // namespace velm::companion
