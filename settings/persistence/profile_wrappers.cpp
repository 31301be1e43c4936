#include "settings/persistence/profile_wrappers.h"

#include <cstring>

#include "settings/context/locks.h"
#include "settings/persistence/ini_engine.h"
#include "settings/context/memory.h"

namespace {

constexpr DWORD kSectionChars = kIniMaxNameChars + 1;

// The caller's section name made safe in a block of its own. A null name stays null (the
// profile functions give it a meaning of their own); a longer name than the block holds is
// refused rather than cut, since a cut name would address another printer's section.
class SafeSection {
 public:
  explicit SafeSection(const WCHAR* section) {
    if (!section) {
      ok_ = true;
      return;
    }
    name_ = static_cast<WCHAR*>(SysAlloc(kSectionChars * sizeof(WCHAR)));
    if (!name_) return;
    ok_ = IniMakeSectionName(section, name_, kSectionChars) != FALSE;
  }
  ~SafeSection() { SysFree(name_); }
  SafeSection(const SafeSection&) = delete;
  SafeSection& operator=(const SafeSection&) = delete;

  bool ok() const { return ok_; }
  const WCHAR* get() const { return name_; }

 private:
  WCHAR* name_ = nullptr;
  bool ok_ = false;
};

DWORD CopyDefault(const WCHAR* defaultValue, WCHAR* buffer, DWORD size) {
  if (!buffer || size == 0) return 0;
  lstrcpynW(buffer, defaultValue ? defaultValue : WSTR(""), static_cast<int>(size));
  return static_cast<DWORD>(lstrlenW(buffer));
}

// Defaults no value can equal both of: a key whose reads give back each of them is absent.
constexpr WCHAR kFirstProbe[] = WSTR("\x01");
constexpr WCHAR kSecondProbe[] = WSTR("\x02");

bool IsProbe(const WCHAR* buffer, DWORD copied, const WCHAR* probe) { return copied == 1 && buffer[0] == probe[0]; }

}  // namespace

UINT IniProfileGetInt(const WCHAR* section, const WCHAR* key, INT defaultValue, const WCHAR* file) {
  const SafeSection safe(section);
  if (!safe.ok()) return static_cast<UINT>(defaultValue);
  return GetPrivateProfileIntW(safe.get(), key, defaultValue, file);
}

DWORD IniProfileGetString(const WCHAR* section, const WCHAR* key, const WCHAR* defaultValue, WCHAR* buffer,
                          DWORD size, const WCHAR* file) {
  const SafeSection safe(section);
  if (!safe.ok()) return CopyDefault(defaultValue, buffer, size);
  return GetPrivateProfileStringW(safe.get(), key, defaultValue, buffer, size, file);
}

LONG IniProfileLookupString(const WCHAR* section, const WCHAR* key, WCHAR* buffer, DWORD size, const WCHAR* file) {
  if (!buffer || size == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return -1;
  }
  buffer[0] = 0;
  if (!section || !key) return kIniLookupAbsent;
  const SafeSection safe(section);
  if (!safe.ok()) return safe.get() ? kIniLookupAbsent : kIniLookupFailed;
  // The probes need room for one character; a one-character buffer can only ever hold "".
  WCHAR small[2];
  WCHAR* target = size >= 2 ? buffer : small;
  const DWORD targetSize = size >= 2 ? size : 2;
  // The profile functions answer the default when they run out of memory; only the last error
  // tells that from an absent key.
  SetLastError(ERROR_SUCCESS);
  DWORD copied = GetPrivateProfileStringW(safe.get(), key, kFirstProbe, target, targetSize, file);
  if (IsProbe(target, copied, kFirstProbe)) {
    if (GetLastError() != ERROR_NOT_ENOUGH_MEMORY)
      copied = GetPrivateProfileStringW(safe.get(), key, kSecondProbe, target, targetSize, file);
    if (IsProbe(target, copied, kSecondProbe) || GetLastError() == ERROR_NOT_ENOUGH_MEMORY) {
      buffer[0] = 0;
      return GetLastError() == ERROR_NOT_ENOUGH_MEMORY ? kIniLookupFailed : kIniLookupAbsent;
    }
  }
  if (target == small) {
    buffer[0] = 0;
    return 0;
  }
  return static_cast<LONG>(copied);
}

BOOL IniProfileWriteString(const WCHAR* section, const WCHAR* key, const WCHAR* value, const WCHAR* file) {
  const SafeSection safe(section);
  if (!safe.ok()) return FALSE;
  if ((safe.get() && !IniIsWritableName(safe.get(), FALSE)) || (key && !IniIsWritableName(key, TRUE))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  WCHAR* normalized = nullptr;
  if (value) {
    const size_t length = wcslen(value);
    normalized = static_cast<WCHAR*>(SysAlloc((length + 1) * sizeof(WCHAR)));
    if (!normalized) return FALSE;
    std::memcpy(normalized, value, (length + 1) * sizeof(WCHAR));
    IniNormalizeValue(normalized);
  }
  // The profile functions rewrite the whole file: under the settings mutex, as every writer of a
  // settings file, so that no rewrite of another process falls between their read and write.
  const SettingsMutexHold hold(nullptr);
  const BOOL written = WritePrivateProfileStringW(safe.get(), key, normalized, file);
  const DWORD error = GetLastError();
  SysFree(normalized);
  WritePrivateProfileStringW(nullptr, nullptr, nullptr, file);
  SetLastError(error);
  return written;
}
