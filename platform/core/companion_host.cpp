// The companion stand-ins' host services over the machine root.
#include "companions/companion_host.h"

#include <new>

#include "core/host_file.h"
#include "core/machine_root.h"
#include "core/unicode.h"

namespace velm::companion {

std::string Setting(std::string_view key, std::string_view fallback) {
  return platform::MachineSetting(key, fallback);
}

std::filesystem::path StoreFolder(std::string_view area) { return platform::MachineStore(area); }

DWORD ReadWholeFile(const std::filesystem::path& file, size_t maxBytes, std::string& bytes) {
  return platform::ReadWholeFile(file, maxBytes, bytes);
}

DWORD ReplaceWholeFile(const std::filesystem::path& file, const std::string& bytes) {
  return platform::ReplaceWholeFile(file, bytes);
}

StoreLock::StoreLock(const std::filesystem::path& lockFile) {
  auto* lock = new (std::nothrow) platform::FileLock(lockFile);
  held_ = lock;
  error_ = lock ? lock->error() : ERROR_NOT_ENOUGH_MEMORY;
}

StoreLock::~StoreLock() { delete static_cast<platform::FileLock*>(held_); }

std::string ToUtf8(WStringView text) { return platform::Utf16ToUtf8(text); }

WString FromUtf8(std::string_view text) { return platform::Utf8ToUtf16(text); }

}  // namespace velm::companion
