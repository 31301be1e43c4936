// The companion stand-ins' host services on Windows: switches are the string values of
// HKEY_LOCAL_MACHINE\SOFTWARE\Velm\Companions, stores are folders of %ProgramData%\Velm.
#include "companions/companion_host.h"

#include <algorithm>
#include <vector>

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

DWORD WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) return GetLastError();
    done += written;
  }
  return ERROR_SUCCESS;
}

}  // namespace

std::string Setting(std::string_view key, std::string_view fallback) {
  const WString name = FromUtf8(key);
  DWORD size = 0;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSwitchesKey, name.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
          ERROR_SUCCESS ||
      size < sizeof(WCHAR)) {
    return std::string(fallback);
  }
  WString value(size / sizeof(WCHAR), 0);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, kSwitchesKey, name.c_str(), RRF_RT_REG_SZ, nullptr, value.data(), &size) !=
      ERROR_SUCCESS) {
    return std::string(fallback);
  }
  value.resize(lstrlenW(value.c_str()));
  return ToUtf8(value);
}

std::filesystem::path StoreFolder(std::string_view area) {
  WCHAR data[MAX_PATH];
  const DWORD length = GetEnvironmentVariableW(WSTR("ProgramData"), data, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::filesystem::path(data) / WSTR("Velm") / FromUtf8(area);
}

DWORD ReadWholeFile(const std::filesystem::path& file, size_t maxBytes, std::string& bytes) {
  HandleCloser opened{CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
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

DWORD ReplaceWholeFile(const std::filesystem::path& file, const std::string& bytes) {
  std::filesystem::path temporary = file;
  temporary += WSTR(".tmp") + std::to_wstring(GetCurrentProcessId()) + WSTR(".") + std::to_wstring(GetCurrentThreadId());
  DWORD error = ERROR_SUCCESS;
  {
    HandleCloser written{CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr)};
    if (written.handle == INVALID_HANDLE_VALUE) return GetLastError();
    error = WriteAll(written.handle, bytes);
    if (error == ERROR_SUCCESS && !FlushFileBuffers(written.handle)) error = GetLastError();
  }
  if (error == ERROR_SUCCESS &&
      !MoveFileExW(temporary.c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error != ERROR_SUCCESS) DeleteFileW(temporary.c_str());
  return error;
}

StoreLock::StoreLock(const std::filesystem::path& lockFile) {
  std::error_code ignored;
  std::filesystem::create_directories(lockFile.parent_path(), ignored);
  HANDLE file = CreateFileW(lockFile.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
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

std::string ToUtf8(WStringView text) {
  if (text.empty()) return {};
  const int count = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), count, nullptr, 0, nullptr, nullptr);
  std::string out(bytes, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), count, out.data(), bytes, nullptr, nullptr);
  return out;
}

WString FromUtf8(std::string_view text) {
  if (text.empty()) return {};
  const int count = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), count, nullptr, 0);
  WString out(units, 0);
  MultiByteToWideChar(CP_UTF8, 0, text.data(), count, out.data(), units);
  return out;
}

}  // namespace velm::companion
