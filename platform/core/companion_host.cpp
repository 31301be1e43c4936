// The companion stand-ins' host services over the machine root. Store paths are host paths; what
// is handed back to a companion is copied into its counted containers (which may throw
// std::bad_alloc, as the companions expect).
#include "companions/companion_host.h"

#include <cstdio>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>

#include "core/host_file.h"
#include "core/machine_root.h"
#include "core/modules.h"
#include "core/unicode.h"

namespace velm::companion {
namespace {

std::filesystem::path HostPath(const StorePath& path) { return std::filesystem::path(std::u16string(path.text)); }

}  // namespace

String Setting(std::string_view key, std::string_view fallback) {
  const std::string value = platform::MachineSetting(key, fallback);
  return String(value.data(), value.size());
}

StorePath StoreFolder(std::string_view area) {
  StorePath folder;
  const std::u16string text = platform::MachineStore(area).u16string();
  if (text.empty() || text.size() >= StorePath::kChars) return folder;
  std::copy(text.begin(), text.end(), folder.text);
  return folder;
}

DWORD MakeFolder(const StorePath& folder) {
  std::error_code ec;
  std::filesystem::create_directories(HostPath(folder), ec);
  return std::filesystem::is_directory(HostPath(folder), ec) ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
}

DWORD ReadWholeFile(const StorePath& file, size_t maxBytes, String& bytes) {
  std::string read;
  const DWORD error = platform::ReadWholeFile(HostPath(file), maxBytes, read);
  if (error == ERROR_SUCCESS) bytes.assign(read.data(), read.size());
  return error;
}

DWORD ReplaceWholeFile(const StorePath& file, std::string_view bytes) {
  return platform::ReplaceWholeFile(HostPath(file), std::string(bytes));
}

DWORD AppendToFile(const StorePath& file, std::string_view bytes) {
  const std::filesystem::path path = HostPath(file);
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  FILE* out = std::fopen(path.c_str(), "ab");
  if (!out) return ERROR_ACCESS_DENIED;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  return std::fclose(out) == 0 && written ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

StoreLock::StoreLock(const StorePath& lockFile) {
  auto* lock = new (std::nothrow) platform::FileLock(HostPath(lockFile));
  held_ = lock;
  error_ = lock ? lock->error() : ERROR_NOT_ENOUGH_MEMORY;
}

StoreLock::~StoreLock() { delete static_cast<platform::FileLock*>(held_); }

DWORD WithholdExport(HMODULE module, std::string_view procName) {
  return platform::WithholdModuleExport(module, procName) ? ERROR_SUCCESS : ERROR_MOD_NOT_FOUND;
}

String ToUtf8(WStringView text) {
  const std::string utf8 = platform::Utf16ToUtf8(text);
  return String(utf8.data(), utf8.size());
}

WText FromUtf8(std::string_view text) {
  const std::u16string utf16 = platform::Utf8ToUtf16(text);
  return WText(utf16.data(), utf16.size());
}

}  // namespace velm::companion
