#include "core/registry.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/host_file.h"
#include "core/machine_root.h"
#include "core/registry_hive.h"
#include "core/unicode.h"
#include "core/winerror.h"

namespace velm::platform {
namespace {

namespace fs = std::filesystem;

constexpr LONG kSuccess = ERROR_SUCCESS;
constexpr REGSAM kMaximumAllowed = 0x02000000;
constexpr REGSAM kGenericRead = 0x80000000;
constexpr REGSAM kGenericWrite = 0x40000000;
constexpr REGSAM kGenericExecute = 0x20000000;
constexpr REGSAM kGenericAll = 0x10000000;

// A key as a handle stands for it: its hive and its path from the hive's root.
struct OpenKey {
  std::string hive;
  std::vector<std::u16string> path;
  uint64_t id = 0;  // 0 for a predefined key, which exists even before its path is created
  REGSAM access = KEY_ALL_ACCESS;
};

struct PredefinedKey {
  LONG value;
  const char* hive;
  const char16_t* path;
  bool perUser;  // below the path: the machine's current user
};

constexpr PredefinedKey kPredefinedKeys[] = {
    {static_cast<LONG>(0x80000000), "machine", u"SOFTWARE\\Classes", false},
    {static_cast<LONG>(0x80000001), "users", u"", true},
    {static_cast<LONG>(0x80000002), "machine", u"", false},
    {static_cast<LONG>(0x80000003), "users", u"", false},
    {static_cast<LONG>(0x80000005), "machine", u"SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current", false},
};

const PredefinedKey* FindPredefined(HKEY handle) {
  for (const PredefinedKey& key : kPredefinedKeys)
    if (reinterpret_cast<intptr_t>(handle) == static_cast<intptr_t>(key.value)) return &key;
  return nullptr;
}

bool IsPredefinedValue(HKEY handle) {
  const intptr_t value = reinterpret_cast<intptr_t>(handle);
  return value >= static_cast<intptr_t>(static_cast<LONG>(0x80000000)) &&
         value <= static_cast<intptr_t>(static_cast<LONG>(0x80000006));
}

uint64_t Now() {
  using Ticks = std::chrono::duration<int64_t, std::ratio<1, 10000000>>;
  const auto since1970 = std::chrono::duration_cast<Ticks>(std::chrono::system_clock::now().time_since_epoch());
  return static_cast<uint64_t>(since1970.count()) + 116444736000000000ull;
}

REGSAM GrantedAccess(REGSAM desired) {
  REGSAM granted = desired & ~(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
  if (desired & (kMaximumAllowed | kGenericAll)) granted |= KEY_ALL_ACCESS;
  if (desired & kGenericRead) granted |= KEY_READ;
  if (desired & kGenericWrite) granted |= KEY_WRITE;
  if (desired & kGenericExecute) granted |= KEY_EXECUTE;
  return granted;
}

bool Allowed(const OpenKey& key, REGSAM needed) { return (key.access & needed) == needed; }

// "a\b\c" into its names. A leading '\' or an empty name is ERROR_BAD_PATHNAME; one
// trailing '\' is allowed.
LONG SplitSubkey(const WCHAR* subKey, std::vector<std::u16string>& parts) {
  if (!subKey || !*subKey) return kSuccess;
  std::u16string_view text(subKey);
  if (text.front() == u'\\') return ERROR_BAD_PATHNAME;
  if (text.back() == u'\\') text.remove_suffix(1);
  for (size_t start = 0;;) {
    const size_t end = std::min(text.find(u'\\', start), text.size());
    const std::u16string_view part = text.substr(start, end - start);
    if (part.empty()) return ERROR_BAD_PATHNAME;
    if (part.size() > kMaxRegistryKeyName || parts.size() >= kMaxRegistryDepth) return ERROR_INVALID_PARAMETER;
    parts.emplace_back(part);
    if (end == text.size()) return kSuccess;
    start = end + 1;
  }
}

// HKEY_CURRENT_USER's key under HKEY_USERS; key names cannot hold '\', so a
// domain-qualified user keeps only the user's part.
std::u16string CurrentUserKeyName() {
  std::u16string user = Utf8ToUtf16(MachineSetting("user", "user"));
  if (const size_t sep = user.rfind(u'\\'); sep != std::u16string::npos) user.erase(0, sep + 1);
  if (user.empty() || user.size() > kMaxRegistryKeyName) user = u"user";
  return user;
}

// --- handles ---

std::mutex g_handleMutex;
uintptr_t g_nextHandle = 0x1000;

std::unordered_map<uintptr_t, OpenKey>& Handles() {
  static auto* handles = new std::unordered_map<uintptr_t, OpenKey>();
  return *handles;
}

HKEY RegisterKey(OpenKey key) {
  std::lock_guard lock(g_handleMutex);
  const uintptr_t value = g_nextHandle;
  g_nextHandle += 4;
  Handles().emplace(value, std::move(key));
  return reinterpret_cast<HKEY>(value);
}

LONG LookupKey(HKEY handle, OpenKey& out) {
  if (const PredefinedKey* predefined = FindPredefined(handle)) {
    out = OpenKey{predefined->hive, {}, 0, KEY_ALL_ACCESS};
    if (predefined->perUser) out.path.push_back(CurrentUserKeyName());
    return SplitSubkey(predefined->path, out.path);
  }
  std::lock_guard lock(g_handleMutex);
  const auto it = Handles().find(reinterpret_cast<uintptr_t>(handle));
  if (it == Handles().end()) return ERROR_INVALID_HANDLE;
  out = it->second;
  return kSuccess;
}

// --- hives ---

fs::path HiveFile(const std::string& hive) {
  const fs::path store = MachineStore("registry");
  return store.empty() ? store : store / (hive + ".hive");
}

// A hive that does not exist yet is empty.
LONG LoadHive(const std::string& hive, RegistryHive& tree) {
  const fs::path file = HiveFile(hive);
  if (file.empty()) return ERROR_CANTOPEN;
  std::string bytes;
  const DWORD error = ReadWholeFile(file, kMaxHiveBytes, bytes);
  if (error == ERROR_FILE_NOT_FOUND) {
    tree = RegistryHive{};
    return kSuccess;
  }
  if (error == ERROR_NOT_ENOUGH_MEMORY) return ERROR_BADDB;  // larger than any hive written here
  if (error != ERROR_SUCCESS) return ERROR_CANTREAD;
  return ParseHive(bytes, tree) ? kSuccess : ERROR_BADDB;
}

// Runs `edit(tree, changed)` on the hive under its lock and stores the result when the edit
// succeeded and changed something; a failed edit leaves the stored hive as it was.
template <class Edit>
LONG EditHive(const std::string& hive, Edit edit) {
  const fs::path file = HiveFile(hive);
  if (file.empty()) return ERROR_CANTOPEN;
  FileLock lock(file.parent_path() / (hive + ".lock"));
  if (lock.error() != ERROR_SUCCESS) return ERROR_CANTOPEN;
  RegistryHive tree;
  LONG error = LoadHive(hive, tree);
  if (error != kSuccess) return error;
  bool changed = false;
  error = edit(tree, changed);
  if (error != kSuccess || !changed) return error;
  const std::string bytes = SerializeHive(tree);
  if (bytes.size() > kMaxHiveBytes) return ERROR_OUTOFMEMORY;
  return ReplaceWholeFile(file, bytes) == ERROR_SUCCESS ? kSuccess : ERROR_CANTWRITE;
}

template <class Key>
Key* Walk(Key* key, const std::vector<std::u16string>& path, size_t count) {
  for (size_t i = 0; key && i < count; ++i) key = key->FindSubkey(path[i]);
  return key;
}

// The key a handle stands for; null for a predefined key whose path does not exist yet.
template <class Key>
LONG FindOpenKey(Key& root, const OpenKey& open, Key*& key) {
  key = Walk(&root, open.path, open.path.size());
  if (open.id == 0) return kSuccess;
  if (!key || key->id != open.id) {
    key = nullptr;
    return ERROR_KEY_DELETED;
  }
  return kSuccess;
}

RegistryKey* CreatePath(RegistryHive& tree, RegistryKey* key, const std::vector<std::u16string>& path, size_t from,
                        std::vector<std::u16string>* names, bool& created) {
  for (size_t i = from; i < path.size(); ++i) {
    RegistryKey* next = key->FindSubkey(path[i]);
    if (!next) {
      const uint64_t now = Now();
      key->lastWrite = now;
      next = &key->AddSubkey(path[i], tree.nextId++, now);
      created = true;
    }
    if (names) names->push_back(next->name);
    key = next;
  }
  return key;
}

// Reads the key behind `handle`: `read(const RegistryKey&)` gives the result.
template <class Read>
LONG ReadKey(HKEY handle, REGSAM needed, Read read) {
  OpenKey open;
  LONG error = LookupKey(handle, open);
  if (error != kSuccess) return error;
  if (!Allowed(open, needed)) return ERROR_ACCESS_DENIED;
  RegistryHive tree;
  error = LoadHive(open.hive, tree);
  if (error != kSuccess) return error;
  const RegistryKey* key = nullptr;
  error = FindOpenKey<const RegistryKey>(tree.root, open, key);
  if (error != kSuccess) return error;
  static const RegistryKey kNotYetCreated;
  return read(key ? *key : kNotYetCreated);
}

// Changes the key behind `handle`: `write(RegistryKey&, bool& changed)`. A predefined key's
// path is created first, except for `clearing`, where a missing key is already clear.
template <class Write>
LONG WriteKey(HKEY handle, REGSAM needed, Write write, bool clearing = false) {
  OpenKey open;
  LONG error = LookupKey(handle, open);
  if (error != kSuccess) return error;
  if (!Allowed(open, needed)) return ERROR_ACCESS_DENIED;
  return EditHive(open.hive, [&](RegistryHive& tree, bool& changed) {
    RegistryKey* key = nullptr;
    const LONG found = FindOpenKey(tree.root, open, key);
    if (found != kSuccess) return found;
    if (!key && clearing) return kSuccess;
    if (!key) key = CreatePath(tree, &tree.root, open.path, 0, nullptr, changed);
    return write(*key, changed);
  });
}

// Removes the key at `path` below the handle's key; with `wholeTree`, subkeys and all,
// otherwise only a key without subkeys.
LONG RemoveKey(HKEY handle, const std::vector<std::u16string>& parts, bool wholeTree) {
  OpenKey open;
  LONG error = LookupKey(handle, open);
  if (error != kSuccess) return error;
  std::vector<std::u16string> path = open.path;
  path.insert(path.end(), parts.begin(), parts.end());
  if (path.empty() || (parts.empty() && open.id == 0)) return ERROR_ACCESS_DENIED;  // a predefined key stays
  return EditHive(open.hive, [&](RegistryHive& tree, bool& changed) {
    RegistryKey* key = nullptr;
    const LONG found = FindOpenKey(tree.root, open, key);
    if (found != kSuccess) return found;
    RegistryKey* parent = Walk(&tree.root, path, path.size() - 1);
    const RegistryKey* target = parent ? parent->FindSubkey(path.back()) : nullptr;
    if (!key || !target) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    if (!wholeTree && !target->subkeys.empty()) return static_cast<LONG>(ERROR_ACCESS_DENIED);
    parent->RemoveSubkey(path.back());
    parent->lastWrite = Now();
    changed = true;
    return kSuccess;
  });
}

FILETIME ToFileTime(uint64_t value) {
  return FILETIME{static_cast<DWORD>(value & 0xFFFFFFFF), static_cast<DWORD>(value >> 32)};
}

LONG CopyData(const RegistryValue& value, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (type) *type = value.type;
  const DWORD needed = static_cast<DWORD>(value.data.size());
  if (data) {
    if (*dataSize < needed) {
      *dataSize = needed;
      return ERROR_MORE_DATA;
    }
    std::memcpy(data, value.data.data(), needed);
  }
  if (dataSize) *dataSize = needed;
  return kSuccess;
}

LONG CopyName(std::u16string_view name, LPWSTR buffer, LPDWORD length) {
  if (*length <= name.size()) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.data(), name.size() * sizeof(WCHAR));
  buffer[name.size()] = 0;
  *length = static_cast<DWORD>(name.size());
  return kSuccess;
}

std::u16string_view ValueName(LPCWSTR name) { return name ? std::u16string_view(name) : std::u16string_view(); }

}  // namespace
}  // namespace velm::platform

using namespace velm::platform;

extern "C" {

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options, REGSAM desired,
                     LPSECURITY_ATTRIBUTES security, PHKEY result, LPDWORD disposition) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (options & REG_OPTION_CREATE_LINK) return ERROR_INVALID_PARAMETER;  // symbolic links are not kept
  OpenKey open;
  LONG error = LookupKey(key, open);
  std::vector<std::u16string> parts;
  if (error == kSuccess) error = SplitSubkey(subKey, parts);
  if (error != kSuccess) return error;
  if (open.path.size() + parts.size() > kMaxRegistryDepth) return ERROR_INVALID_PARAMETER;

  OpenKey made{open.hive, {}, open.id, GrantedAccess(desired)};
  bool created = false;
  error = EditHive(open.hive, [&](RegistryHive& tree, bool& changed) {
    RegistryKey* base = nullptr;
    const LONG found = FindOpenKey(tree.root, open, base);
    if (found != kSuccess) return found;
    if (!base) base = CreatePath(tree, &tree.root, open.path, 0, nullptr, changed);
    made.path = open.path;
    RegistryKey* below = Walk(base, parts, parts.size());
    if (!below && !Allowed(open, KEY_CREATE_SUB_KEY)) return static_cast<LONG>(ERROR_ACCESS_DENIED);
    RegistryKey* target = CreatePath(tree, base, parts, 0, &made.path, created);
    changed = changed || created;
    if (!parts.empty()) made.id = target->id;
    return kSuccess;
  });
  if (error != kSuccess) return error;
  *result = RegisterKey(std::move(made));
  if (disposition) *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  return kSuccess;
}

LONG RegCreateKeyW(HKEY key, LPCWSTR subKey, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!subKey || !*subKey) {
    OpenKey open;
    const LONG error = LookupKey(key, open);
    *result = error == kSuccess ? key : nullptr;
    return error;
  }
  return RegCreateKeyExW(key, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, kMaximumAllowed, nullptr, result, nullptr);
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  OpenKey open;
  LONG error = LookupKey(key, open);
  std::vector<std::u16string> parts;
  if (error == kSuccess) error = SplitSubkey(subKey, parts);
  if (error != kSuccess) return error;
  RegistryHive tree;
  error = LoadHive(open.hive, tree);
  if (error != kSuccess) return error;
  const RegistryKey* base = nullptr;
  error = FindOpenKey<const RegistryKey>(tree.root, open, base);
  if (error != kSuccess) return error;

  OpenKey made{open.hive, open.path, open.id, GrantedAccess(desired)};
  const RegistryKey* target = base;
  for (const std::u16string& part : parts) {
    target = target ? target->FindSubkey(part) : nullptr;
    if (!target) return ERROR_FILE_NOT_FOUND;
    made.path.push_back(target->name);
  }
  if (!parts.empty()) made.id = target->id;
  *result = RegisterKey(std::move(made));
  return kSuccess;
}

LONG RegOpenKeyW(HKEY key, LPCWSTR subKey, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  if (!subKey || !*subKey) {
    OpenKey open;
    const LONG error = LookupKey(key, open);
    *result = error == kSuccess ? key : nullptr;
    return error;
  }
  return RegOpenKeyExW(key, subKey, 0, kMaximumAllowed, result);
}

LONG RegCloseKey(HKEY key) {
  if (IsPredefinedValue(key)) return kSuccess;
  std::lock_guard lock(g_handleMutex);
  return Handles().erase(reinterpret_cast<uintptr_t>(key)) ? kSuccess : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
  if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  return ReadKey(key, KEY_QUERY_VALUE, [&](const RegistryKey& k) {
    const RegistryValue* value = k.FindValue(ValueName(valueName));
    return value ? CopyData(*value, type, data, dataSize) : static_cast<LONG>(ERROR_FILE_NOT_FOUND);
  });
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD reserved, DWORD type, const BYTE* data, DWORD dataSize) {
  const std::u16string_view name = ValueName(valueName);
  if ((!data && dataSize) || name.size() > kMaxRegistryValueName) return ERROR_INVALID_PARAMETER;
  return WriteKey(key, KEY_SET_VALUE, [&](RegistryKey& k, bool& changed) {
    RegistryValue* value = k.FindValue(name);
    if (!value) {
      k.values.push_back(RegistryValue{std::u16string(name), 0, {}});
      value = &k.values.back();
    }
    value->type = type;
    value->data.assign(reinterpret_cast<const char*>(data), data ? dataSize : 0);
    k.lastWrite = Now();
    changed = true;
    return kSuccess;
  });
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName) {
  return WriteKey(key, KEY_SET_VALUE, [&](RegistryKey& k, bool& changed) {
    const RegistryValue* value = k.FindValue(ValueName(valueName));
    if (!value) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
    k.values.erase(k.values.begin() + (value - k.values.data()));
    k.lastWrite = Now();
    changed = true;
    return kSuccess;
  });
}

LONG RegDeleteKeyW(HKEY key, LPCWSTR subKey) {
  if (!subKey) return ERROR_INVALID_PARAMETER;
  std::vector<std::u16string> parts;
  const LONG error = SplitSubkey(subKey, parts);
  return error != kSuccess ? error : RemoveKey(key, parts, false);
}

LONG RegDeleteTreeW(HKEY key, LPCWSTR subKey) {
  std::vector<std::u16string> parts;
  const LONG error = SplitSubkey(subKey, parts);
  if (error != kSuccess) return error;
  if (!parts.empty()) return RemoveKey(key, parts, true);
  return WriteKey(
      key, 0,
      [&](RegistryKey& k, bool& changed) {
        if (k.values.empty() && k.subkeys.empty()) return kSuccess;
        k.values.clear();
        k.subkeys.clear();
        k.lastWrite = Now();
        changed = true;
        return kSuccess;
      },
      true);
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD reserved, LPWSTR keyClass,
                   LPDWORD classLength, PFILETIME lastWriteTime) {
  if (!name || !nameLength || reserved || (keyClass && !classLength)) return ERROR_INVALID_PARAMETER;
  return ReadKey(key, KEY_ENUMERATE_SUB_KEYS, [&](const RegistryKey& k) {
    if (index >= k.subkeys.size()) return static_cast<LONG>(ERROR_NO_MORE_ITEMS);
    const RegistryKey& subkey = k.subkeys[index];
    const LONG copied = CopyName(subkey.name, name, nameLength);
    if (copied != kSuccess) return copied;
    if (keyClass && *classLength > 0) keyClass[0] = 0;
    if (classLength) *classLength = 0;
    if (lastWriteTime) *lastWriteTime = ToFileTime(subkey.lastWrite);
    return kSuccess;
  });
}

LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR valueName, LPDWORD valueNameLength, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD dataSize) {
  if (!valueName || !valueNameLength || reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  return ReadKey(key, KEY_QUERY_VALUE, [&](const RegistryKey& k) {
    if (index >= k.values.size()) return static_cast<LONG>(ERROR_NO_MORE_ITEMS);
    const RegistryValue& value = k.values[index];
    const LONG copied = CopyName(value.name, valueName, valueNameLength);
    return copied != kSuccess ? copied : CopyData(value, type, data, dataSize);
  });
}

LONG RegQueryInfoKeyW(HKEY key, LPWSTR keyClass, LPDWORD classLength, LPDWORD reserved, LPDWORD subKeys,
                      LPDWORD maxSubKeyLength, LPDWORD maxClassLength, LPDWORD values, LPDWORD maxValueNameLength,
                      LPDWORD maxValueLength, LPDWORD securityDescriptorSize, PFILETIME lastWriteTime) {
  if (reserved || (keyClass && !classLength)) return ERROR_INVALID_PARAMETER;
  return ReadKey(key, KEY_QUERY_VALUE, [&](const RegistryKey& k) {
    size_t longestKey = 0, longestName = 0, longestData = 0;
    for (const RegistryKey& subkey : k.subkeys) longestKey = std::max(longestKey, subkey.name.size());
    for (const RegistryValue& value : k.values) {
      longestName = std::max(longestName, value.name.size());
      longestData = std::max(longestData, value.data.size());
    }
    if (keyClass && *classLength > 0) keyClass[0] = 0;
    if (classLength) *classLength = 0;
    if (subKeys) *subKeys = static_cast<DWORD>(k.subkeys.size());
    if (maxSubKeyLength) *maxSubKeyLength = static_cast<DWORD>(longestKey);
    if (maxClassLength) *maxClassLength = 0;
    if (values) *values = static_cast<DWORD>(k.values.size());
    if (maxValueNameLength) *maxValueNameLength = static_cast<DWORD>(longestName);
    if (maxValueLength) *maxValueLength = static_cast<DWORD>(longestData);
    if (securityDescriptorSize) *securityDescriptorSize = 0;
    if (lastWriteTime) *lastWriteTime = ToFileTime(k.lastWrite);
    return kSuccess;
  });
}

}  // extern "C"
